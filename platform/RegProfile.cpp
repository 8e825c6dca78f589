#include "platform/RegProfile.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// Tokens split at space, comma, tab and newline; each a decimal long as far as it goes.
std::vector<long> Numbers(const std::string& text, size_t max) {
    std::vector<long> out;
    size_t i = 0;
    auto sep = [](char c) { return c == ' ' || c == ',' || c == '\t' || c == '\n'; };
    while (i < text.size() && out.size() < max) {
        while (i < text.size() && sep(text[i])) ++i;
        if (i == text.size()) break;
        size_t end = i;
        while (end < text.size() && !sep(text[end])) ++end;
        std::string token = text.substr(i, end - i);
        out.push_back(std::strtol(token.c_str(), nullptr, 10));
        i = end;
    }
    return out;
}

} // namespace

std::string PointToText(const POINT& pt) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%ld, %ld", pt.x, pt.y);
    return buf;
}

std::string RectToText(const RECT& rc) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%ld, %ld, %ld, %ld", rc.left, rc.top, rc.right, rc.bottom);
    return buf;
}

void ParsePoint(const std::string& text, POINT& pt) {
    auto n = Numbers(text, 2);
    if (n.size() > 0) pt.x = n[0];
    if (n.size() > 1) pt.y = n[1];
}

void ParseRect(const std::string& text, RECT& rc) {
    auto n = Numbers(text, 4);
    long* fields[4] = {&rc.left, &rc.top, &rc.right, &rc.bottom};
    for (size_t k = 0; k < n.size(); ++k) *fields[k] = n[k];
}

CRegProfile::CRegProfile(const RegistryNames& names, bool loading)
    : m_loading(loading), m_company(names.companyKey), m_profile(names.profileName) {
    OpenRootCreate(RegRoot::CurrentUser);
}

CRegProfile::~CRegProfile() {
    if (m_dirty && m_appKey.IsOpen()) m_appKey.Flush();
    CloseAll();
}

void CRegProfile::CloseAll() {
    if (m_dirty && m_appKey.IsOpen()) m_appKey.Flush();
    m_sectionKey.Close();
    m_appKey.Close();
    m_sectionIsAppKey = true;
    m_section.clear();
}

bool CRegProfile::OpenRoot(RegRoot root, bool create) {
    CloseAll();
    m_root = root;
    m_readOnly = !create;
    RegKey rootKey = RegKey::RootKey(root, create);
    RegKey software;
    if (create) {
        if (software.Create(rootKey, "software") != ERROR_SUCCESS) return false;
        RegKey company;
        if (company.Create(software, m_company) != ERROR_SUCCESS) return false;
        m_appKey.Create(company, m_profile);
    } else {
        if (software.Open(rootKey, "software", false) != ERROR_SUCCESS) return false;
        RegKey company;
        if (company.Open(software, m_company, false) != ERROR_SUCCESS) return false;
        m_appKey.Open(company, m_profile, false);
    }
    return m_appKey.IsOpen();
}

bool CRegProfile::OpenRootCreate(RegRoot root) {
    return OpenRoot(root, true);
}
bool CRegProfile::OpenRootReadOnly(RegRoot root) {
    return OpenRoot(root, false);
}

void CRegProfile::SetSection(const std::string& name) {
    m_sectionKey.Close();
    m_sectionIsAppKey = true;
    m_section = name;
    if (!m_appKey.IsOpen()) return;
    LONG rc =
        m_readOnly ? m_sectionKey.Open(m_appKey, name, false) : m_sectionKey.Create(m_appKey, name);
    // Without the section the values land in the application key itself.
    m_sectionIsAppKey = rc != ERROR_SUCCESS;
}

#define SECTION (m_sectionIsAppKey ? m_appKey : m_sectionKey)

LONG CRegProfile::StringValue(const std::string& name, std::string& text) {
    if (m_loading) {
        std::string read;
        LONG rc = SECTION.QueryString(name, read);
        if (rc == ERROR_SUCCESS) text = read;
        return rc;
    }
    m_dirty = true;
    return SECTION.SetString(name, text);
}

LONG CRegProfile::BinaryValue(const std::string& name, std::vector<uint8_t>& bytes) {
    if (m_loading) {
        DWORD type = 0;
        std::vector<uint8_t> read;
        LONG rc = SECTION.QueryValue(name, &type, &read);
        if (rc != ERROR_SUCCESS) return rc;
        if (type != REG_BINARY) return ERROR_INVALID_DATA;
        bytes = std::move(read);
        return rc;
    }
    m_dirty = true;
    return SECTION.SetValue(name, REG_BINARY, bytes.data(), bytes.size());
}

LONG CRegProfile::DwordValue(const std::string& name, DWORD& value) {
    if (m_loading) return SECTION.QueryDword(name, value);
    m_dirty = true;
    return SECTION.SetDword(name, value);
}

LONG CRegProfile::IntValue(const std::string& name, int& value) {
    DWORD v = DWORD(value);
    LONG rc = DwordValue(name, v);
    if (m_loading && rc == ERROR_SUCCESS) value = int(v);
    return rc;
}

LONG CRegProfile::WordValue(const std::string& name, unsigned& value) {
    DWORD v = value & 0xFFFF;
    LONG rc = DwordValue(name, v);
    if (m_loading && rc == ERROR_SUCCESS) value = v & 0xFFFF;
    return rc;
}

LONG CRegProfile::PointValue(const std::string& name, POINT& pt) {
    if (m_loading) {
        std::string text;
        LONG rc = SECTION.QueryString(name, text);
        if (rc == ERROR_SUCCESS) ParsePoint(text, pt);
        return rc;
    }
    m_dirty = true;
    return SECTION.SetString(name, PointToText(pt));
}

LONG CRegProfile::RectValue(const std::string& name, RECT& rc) {
    if (m_loading) {
        std::string text;
        LONG r = SECTION.QueryString(name, text);
        if (r == ERROR_SUCCESS) ParseRect(text, rc);
        return r;
    }
    m_dirty = true;
    return SECTION.SetString(name, RectToText(rc));
}

LONG CRegProfile::RemoveValue(const std::string& name) {
    if (m_loading) return ERROR_ACCESS_DENIED;
    LONG rc = SECTION.DeleteValue(name);
    if (rc == ERROR_SUCCESS) m_dirty = true;
    return rc;
}

#undef SECTION
