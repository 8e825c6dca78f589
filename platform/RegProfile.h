#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"

struct POINT {
    long x = 0;
    long y = 0;
};
struct RECT {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
};

// What the profile needs to know of the application: the company key and the profile name.
struct RegistryNames {
    std::string companyKey;  // "Orvane"
    std::string profileName; // "Orvane Screen"
};

// Opens one root and one section at a time below software\<company>\<profile> and converts
// typed values to and from registry values, in one direction chosen at construction.
class CRegProfile {
public:
    CRegProfile(const RegistryNames& names, bool loading);
    ~CRegProfile();
    CRegProfile(const CRegProfile&) = delete;
    CRegProfile& operator=(const CRegProfile&) = delete;

    bool OpenRootCreate(RegRoot root);
    bool OpenRootReadOnly(RegRoot root);
    void SetSection(const std::string& name);

    LONG StringValue(const std::string& name, std::string& text);
    LONG DwordValue(const std::string& name, DWORD& value);
    LONG IntValue(const std::string& name, int& value);
    LONG WordValue(const std::string& name, unsigned& value); // 16 bits in a 32-bit slot
    LONG PointValue(const std::string& name, POINT& pt);
    LONG RectValue(const std::string& name, RECT& rc);
    // REG_BINARY; reading replaces bytes only when the value holds binary data.
    LONG BinaryValue(const std::string& name, std::vector<uint8_t>& bytes);

    // Saving mode only: removes a value of the current section.
    LONG RemoveValue(const std::string& name);

    bool Loading() const { return m_loading; }

private:
    void CloseAll();
    bool OpenRoot(RegRoot root, bool create);

    bool m_loading;
    RegRoot m_root = RegRoot::CurrentUser;
    RegKey m_appKey;
    RegKey m_sectionKey;
    bool m_sectionIsAppKey = true;
    std::string m_section;
    bool m_readOnly = false;
    bool m_dirty = false;
    std::string m_company;
    std::string m_profile;
};

// The text forms of points ("%ld, %ld") and rectangles ("%ld, %ld, %ld, %ld"); parsing fills
// only the numbers present and leaves the rest as preset.
std::string PointToText(const POINT& pt);
std::string RectToText(const RECT& rc);
void ParsePoint(const std::string& text, POINT& pt);
void ParseRect(const std::string& text, RECT& rc);
