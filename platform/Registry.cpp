#include "platform/Registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Lower(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return r;
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "01,ab,ff" → bytes; whitespace around items is allowed, nothing else.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& out) {
    out.clear();
    size_t i = 0;
    auto skipSpace = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    };
    skipSpace();
    if (i == text.size()) return true;
    for (;;) {
        skipSpace();
        if (i + 2 > text.size()) return false;
        int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(uint8_t(hi * 16 + lo));
        i += 2;
        skipSpace();
        if (i == text.size()) return true;
        if (text[i] != ',') return false;
        ++i;
    }
}

// Reads a quoted text starting at text[i] == '"'; i ends after the closing quote.
bool ParseQuoted(const std::string& text, size_t& i, std::string& out) {
    if (i >= text.size() || text[i] != '"') return false;
    out.clear();
    for (++i; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            if (i + 1 >= text.size()) return false;
            char n = text[++i];
            if (n != '\\' && n != '"') return false;
            out += n;
        } else if (c == '"') {
            ++i;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

std::string Quote(const std::string& s) {
    std::string r = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') r += '\\';
        r += c;
    }
    return r + "\"";
}

bool ParseValueData(const std::string& data, RegValue& value) {
    if (!data.empty() && data[0] == '"') {
        size_t i = 0;
        std::string text;
        if (!ParseQuoted(data, i, text) || i != data.size()) return false;
        value.type = REG_SZ;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
        return true;
    }
    if (data.rfind("dword:", 0) == 0) {
        std::string hex = data.substr(6);
        if (hex.size() != 8) return false;
        DWORD v = 0;
        for (char c : hex) {
            int d = HexDigit(c);
            if (d < 0) return false;
            v = v * 16 + DWORD(d);
        }
        value.type = REG_DWORD;
        value.data = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        return true;
    }
    if (data.rfind("hex:", 0) == 0) {
        value.type = REG_BINARY;
        return ParseHexBytes(data.substr(4), value.data);
    }
    if (data.rfind("hex(", 0) == 0) {
        size_t close = data.find("):");
        if (close == std::string::npos || close == 4) return false;
        DWORD type = 0;
        for (size_t k = 4; k < close; ++k) {
            int d = HexDigit(data[k]);
            if (d < 0) return false;
            type = type * 16 + DWORD(d);
            if (type > 0xFFFF) return false;
        }
        value.type = type;
        return ParseHexBytes(data.substr(close + 2), value.data);
    }
    return false;
}

std::string HexBytes(const std::vector<uint8_t>& data) {
    static const char* digits = "0123456789abcdef";
    std::string r;
    for (size_t k = 0; k < data.size(); ++k) {
        if (k) r += ',';
        r += digits[data[k] >> 4];
        r += digits[data[k] & 15];
    }
    return r;
}

std::string ValueText(const RegValue& v) {
    char buf[32];
    if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d = DWORD(v.data[0]) | DWORD(v.data[1]) << 8 | DWORD(v.data[2]) << 16 |
                  DWORD(v.data[3]) << 24;
        std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(d));
        return buf;
    }
    if (v.type == REG_SZ && !v.data.empty() && v.data.back() == 0) {
        // The quoted form holds one line of text with no other terminator inside.
        bool plain = true;
        for (size_t k = 0; k + 1 < v.data.size(); ++k)
            if (v.data[k] < 0x20 || v.data[k] == 0x7f) plain = false;
        if (plain) return Quote(std::string(v.data.begin(), v.data.end() - 1));
    }
    if (v.type == REG_BINARY) return "hex:" + HexBytes(v.data);
    std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(v.type));
    return buf + HexBytes(v.data);
}

void WriteNode(const RegNode& node, const std::string& path, std::string& out) {
    out += "[" + path + "]\n";
    for (const auto& [key, entry] : node.values) {
        (void)key;
        out += (entry.first.empty() ? std::string("@") : Quote(entry.first)) + "=" +
               ValueText(entry.second) + "\n";
    }
    out += "\n";
    for (const auto& [key, child] : node.children) {
        (void)key;
        WriteNode(*child, path + "\\" + child->name, out);
    }
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

void MakeDirs(const std::string& dir) {
    std::string cur;
    for (size_t i = 0; i < dir.size(); ++i) {
        cur += dir[i];
        if ((dir[i] == '/' && i > 0) || i + 1 == dir.size()) ::mkdir(cur.c_str(), 0700);
    }
}

} // namespace

RegNode* RegNode::Child(const std::string& childName) const {
    auto it = children.find(Lower(childName));
    return it == children.end() ? nullptr : it->second.get();
}

RegNode* RegNode::CreateChild(const std::string& childName) {
    auto& slot = children[Lower(childName)];
    if (!slot) {
        slot = std::make_unique<RegNode>();
        slot->name = childName;
    }
    return slot.get();
}

bool regtext::Parse(const std::string& text, const std::string& rootName, RegNode& root) {
    root.children.clear();
    root.values.clear();
    std::istringstream in(text);
    std::string line;
    bool header = false;
    RegNode* current = nullptr;
    auto fail = [&] {
        root.children.clear();
        root.values.clear();
        return false;
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!header) {
            if (line.size() >= 3 && (unsigned char)line[0] == 0xEF) line = line.substr(3);
            if (line != "Windows Registry Editor Version 5.00") return fail();
            header = true;
            continue;
        }
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3 || line[1] == '-') return fail();
            auto parts = SplitPath(line.substr(1, line.size() - 2));
            if (parts.empty() || Lower(parts[0]) != Lower(rootName)) return fail();
            current = &root;
            for (size_t k = 1; k < parts.size(); ++k) current = current->CreateChild(parts[k]);
            continue;
        }
        if (!current) return fail();
        // Long hex data may be continued on the next lines with a trailing backslash.
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            std::string next;
            if (!std::getline(in, next)) return fail();
            if (!next.empty() && next.back() == '\r') next.pop_back();
            line.pop_back();
            size_t start = next.find_first_not_of(" \t");
            line += start == std::string::npos ? std::string() : next.substr(start);
        }
        std::string name;
        size_t i = 0;
        if (line[0] == '@') {
            i = 1;
        } else if (!ParseQuoted(line, i, name)) {
            return fail();
        }
        if (i >= line.size() || line[i] != '=') return fail();
        RegValue value;
        if (!ParseValueData(line.substr(i + 1), value)) return fail();
        current->values[Lower(name)] = {name, std::move(value)};
    }
    if (!header) return fail();
    return true;
}

std::string regtext::Write(const RegNode& root, const std::string& rootName) {
    std::string out = "Windows Registry Editor Version 5.00\n\n";
    for (const auto& [key, child] : root.children) {
        (void)key;
        WriteNode(*child, rootName + "\\" + child->name, out);
    }
    return out;
}

RegHive::RegHive(std::string rootName, std::string path, bool readOnly)
    : m_rootName(std::move(rootName)), m_path(std::move(path)), m_readOnly(readOnly) {}

void RegHive::EnsureLoaded() {
    if (m_loaded) return;
    m_loaded = true;
    FILE* f = std::fopen(m_path.c_str(), "rb");
    if (!f) return;
    std::string text;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError || !regtext::Parse(text, m_rootName, m_root)) m_damaged = true;
}

LONG RegHive::Flush() {
    if (m_readOnly) return ERROR_ACCESS_DENIED;
    EnsureLoaded();
    std::string text = regtext::Write(m_root, m_rootName);
    size_t slash = m_path.rfind('/');
    if (slash != std::string::npos && slash > 0) MakeDirs(m_path.substr(0, slash));
    std::string tmp = m_path + "." + std::to_string(::getpid()) + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return ERROR_WRITE_FAULT;
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        ::unlink(tmp.c_str());
        return ERROR_WRITE_FAULT;
    }
    if (m_damaged) {
        // The unreadable file is kept for the user rather than silently overwritten.
        std::rename(m_path.c_str(), (m_path + ".damaged").c_str());
        m_damaged = false;
    }
    if (std::rename(tmp.c_str(), m_path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return ERROR_WRITE_FAULT;
    }
    m_dirty = false;
    return ERROR_SUCCESS;
}

RegKey RegKey::RootKey(RegRoot root, bool writable) {
    RegKey key;
    key.m_hive = &Registry::Instance().Hive(root);
    key.m_hive->EnsureLoaded();
    key.m_writable = writable && !key.m_hive->ReadOnly();
    return key;
}

RegNode* RegKey::Node() const {
    if (!m_hive) return nullptr;
    m_hive->EnsureLoaded();
    RegNode* node = &m_hive->Root();
    for (const auto& part : m_path) {
        node = node->Child(part);
        if (!node) return nullptr;
    }
    return node;
}

LONG RegKey::Open(const RegKey& parent, const std::string& subKey, bool writable) {
    Close();
    if (!parent.Node()) return ERROR_INVALID_HANDLE;
    if (writable && parent.m_hive->ReadOnly()) return ERROR_ACCESS_DENIED;
    RegKey key = parent;
    for (const auto& part : SplitPath(subKey)) key.m_path.push_back(part);
    if (!key.Node()) return ERROR_FILE_NOT_FOUND;
    key.m_writable = writable;
    *this = key;
    return ERROR_SUCCESS;
}

LONG RegKey::Create(const RegKey& parent, const std::string& subKey) {
    Close();
    RegNode* node = parent.Node();
    if (!node) return ERROR_INVALID_HANDLE;
    if (parent.m_hive->ReadOnly()) return ERROR_ACCESS_DENIED;
    RegKey key = parent;
    for (const auto& part : SplitPath(subKey)) {
        if (!node->Child(part)) parent.m_hive->MarkDirty();
        node = node->CreateChild(part);
        key.m_path.push_back(node->name);
    }
    key.m_writable = true;
    *this = key;
    return ERROR_SUCCESS;
}

LONG RegKey::QueryValue(const std::string& name, DWORD* type, std::vector<uint8_t>* data) const {
    RegNode* node = Node();
    if (!node) return ERROR_INVALID_HANDLE;
    auto it = node->values.find(Lower(name));
    if (it == node->values.end()) return ERROR_FILE_NOT_FOUND;
    if (type) *type = it->second.second.type;
    if (data) *data = it->second.second.data;
    return ERROR_SUCCESS;
}

LONG RegKey::SetValue(const std::string& name, DWORD type, const uint8_t* data, size_t size) {
    RegNode* node = Node();
    if (!node) return ERROR_INVALID_HANDLE;
    if (!m_writable) return ERROR_ACCESS_DENIED;
    auto& entry = node->values[Lower(name)];
    if (entry.first.empty()) entry.first = name;
    entry.second.type = type;
    entry.second.data.assign(data, data + size);
    m_hive->MarkDirty();
    return ERROR_SUCCESS;
}

LONG RegKey::DeleteValue(const std::string& name) {
    RegNode* node = Node();
    if (!node) return ERROR_INVALID_HANDLE;
    if (!m_writable) return ERROR_ACCESS_DENIED;
    if (node->values.erase(Lower(name)) == 0) return ERROR_FILE_NOT_FOUND;
    m_hive->MarkDirty();
    return ERROR_SUCCESS;
}

LONG RegKey::Flush() {
    if (!Node()) return ERROR_INVALID_HANDLE;
    if (!m_hive->Dirty()) return ERROR_SUCCESS;
    return m_hive->Flush();
}

void RegKey::Close() {
    m_hive = nullptr;
    m_path.clear();
    m_writable = false;
}

LONG RegKey::SetDword(const std::string& name, DWORD value) {
    uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                    uint8_t(value >> 24)};
    return SetValue(name, REG_DWORD, b, 4);
}

LONG RegKey::SetString(const std::string& name, const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return SetValue(name, REG_SZ, data.data(), data.size());
}

LONG RegKey::QueryDword(const std::string& name, DWORD& value) const {
    DWORD type = 0;
    std::vector<uint8_t> data;
    LONG rc = QueryValue(name, &type, &data);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_DWORD || data.size() != 4) return ERROR_FILE_NOT_FOUND;
    value = DWORD(data[0]) | DWORD(data[1]) << 8 | DWORD(data[2]) << 16 | DWORD(data[3]) << 24;
    return ERROR_SUCCESS;
}

LONG RegKey::QueryString(const std::string& name, std::string& text) const {
    DWORD type = 0;
    std::vector<uint8_t> data;
    LONG rc = QueryValue(name, &type, &data);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_SZ) return ERROR_FILE_NOT_FOUND;
    // The text ends at its first terminator, whether or not the data carries one.
    size_t len = 0;
    while (len < data.size() && data[len] != 0) ++len;
    text.assign(data.begin(), data.begin() + long(len));
    return ERROR_SUCCESS;
}

Registry::Registry()
    : m_user(std::make_unique<RegHive>("HKEY_CURRENT_USER", DefaultUserFile(), false)),
      m_machine(std::make_unique<RegHive>("HKEY_LOCAL_MACHINE", DefaultMachineFile(), true)) {}

Registry& Registry::Instance() {
    static Registry registry;
    return registry;
}

RegHive& Registry::Hive(RegRoot root) {
    return root == RegRoot::CurrentUser ? *m_user : *m_machine;
}

void Registry::SetFile(RegRoot root, const std::string& path) {
    if (root == RegRoot::CurrentUser)
        m_user = std::make_unique<RegHive>("HKEY_CURRENT_USER", path, false);
    else
        m_machine = std::make_unique<RegHive>("HKEY_LOCAL_MACHINE", path, true);
}

std::string ConfigHome() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return config;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config";
}

std::string Registry::DefaultUserFile() {
    return ConfigHome() + "/Orvane/user.reg";
}

std::string Registry::DefaultMachineFile() {
    return "/etc/xdg/Orvane/machine.reg";
}
