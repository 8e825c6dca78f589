#pragma once

#include <string>
#include <vector>

#include "platform/RegProfile.h"

// The recent-file list: most recent first, a fixed number of entries, kept in the registry
// section "Recent File List" as "File1".."FileN" under the application key.
class CRecentFileList {
public:
    CRecentFileList(std::string section, std::string entryPrefix, int size);

    int GetSize() const { return int(m_entries.size()); }
    const std::string& operator[](int i) const { return m_entries[size_t(i)]; }
    bool IsEmpty() const { return m_entries.front().empty(); }

    void Add(const std::string& path);
    void Remove(int index);
    void Clear();
    void ReadList(const RegistryNames& names);
    void WriteList(const RegistryNames& names) const;

private:
    std::string m_section;
    std::string m_entryPrefix;
    std::vector<std::string> m_entries;
};
