#pragma once

// A small registry with the two roots the program uses. Each root lives in one text file in the
// .reg export format; the whole file is read on first use and written whole (temporary file,
// then rename) when a key of the root is flushed, so a crash never leaves half a file behind.
// Plain C++: no Qt here, so the settings logic can be tested without a display.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

using LONG = long;
using DWORD = uint32_t;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_INVALID_DATA = 13;
constexpr LONG ERROR_MORE_DATA = 234;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

enum class RegRoot { CurrentUser, LocalMachine };

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else
// ~/.config.
std::string ConfigHome();

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

// One key: subkeys and values, both looked up without regard to case as Windows does; each
// keeps the spelling it was created with.
struct RegNode {
    std::string name;
    std::map<std::string, std::unique_ptr<RegNode>> children;       // by lower-case name
    std::map<std::string, std::pair<std::string, RegValue>> values; // lower-case → (name, value)

    RegNode* Child(const std::string& name) const;
    RegNode* CreateChild(const std::string& name);
};

// The text form of a root: parsing and writing are separate from the file handling so that
// both can be tested alone.
namespace regtext {
// Parses a whole file. rootName is the expected first component of every key path
// ("HKEY_CURRENT_USER"). Returns false (and leaves root empty) for anything malformed.
bool Parse(const std::string& text, const std::string& rootName, RegNode& root);
std::string Write(const RegNode& root, const std::string& rootName);
} // namespace regtext

// One root and its file.
class RegHive {
public:
    RegHive(std::string rootName, std::string path, bool readOnly);

    const std::string& RootName() const { return m_rootName; }
    const std::string& Path() const { return m_path; }
    bool ReadOnly() const { return m_readOnly; }

    // Reads the file if that has not happened yet. A missing file is an empty root; a damaged
    // one is an empty root too, and is kept aside (".damaged") when the root is next written.
    void EnsureLoaded();
    RegNode& Root() { return m_root; }
    void MarkDirty() { m_dirty = true; }
    bool Dirty() const { return m_dirty; }
    // Writes the whole root to a temporary file beside the real one and renames it over it.
    // On any failure the old file stays as it was and the result says so.
    LONG Flush();

private:
    std::string m_rootName;
    std::string m_path;
    bool m_readOnly;
    bool m_loaded = false;
    bool m_damaged = false;
    bool m_dirty = false;
    RegNode m_root;
};

// An open key: a root and a path below it. Handles name the path rather than point into the
// tree, so a handle can never dangle.
class RegKey {
public:
    RegKey() = default;
    bool IsOpen() const { return m_hive != nullptr; }
    bool Writable() const { return m_writable; }

    // Opens (read access) or creates (read and write access) a subkey of this key.
    LONG Open(const RegKey& parent, const std::string& subKey, bool writable);
    LONG Create(const RegKey& parent, const std::string& subKey);
    static RegKey RootKey(RegRoot root, bool writable);

    LONG QueryValue(const std::string& name, DWORD* type, std::vector<uint8_t>* data) const;
    LONG SetValue(const std::string& name, DWORD type, const uint8_t* data, size_t size);
    LONG DeleteValue(const std::string& name);
    LONG Flush();
    void Close();

    // Typed helpers over QueryValue and SetValue.
    LONG SetDword(const std::string& name, DWORD value);
    LONG SetString(const std::string& name, const std::string& text);
    LONG QueryDword(const std::string& name, DWORD& value) const;
    LONG QueryString(const std::string& name, std::string& text) const;

private:
    RegNode* Node() const;
    RegHive* m_hive = nullptr;
    std::vector<std::string> m_path;
    bool m_writable = false;
};

// Where the roots live: the user's under $XDG_CONFIG_HOME/Orvane (else ~/.config/Orvane), the
// machine's, read only, under /etc/xdg/Orvane.
class Registry {
public:
    static Registry& Instance();

    RegHive& Hive(RegRoot root);
    // Points a root at another file and forgets what was loaded (tests, and a changed
    // $XDG_CONFIG_HOME).
    void SetFile(RegRoot root, const std::string& path);
    static std::string DefaultUserFile();
    static std::string DefaultMachineFile();

private:
    Registry();
    std::unique_ptr<RegHive> m_user;
    std::unique_ptr<RegHive> m_machine;
};
