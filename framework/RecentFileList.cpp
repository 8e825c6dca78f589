#include "framework/RecentFileList.h"

CRecentFileList::CRecentFileList(std::string section, std::string entryPrefix, int size)
    : m_section(std::move(section)), m_entryPrefix(std::move(entryPrefix)),
      m_entries(size_t(size > 0 ? size : 1)) {}

void CRecentFileList::Add(const std::string& path) {
    if (path.empty()) return;
    size_t at = m_entries.size() - 1;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i] == path) {
            at = i;
            break;
        }
    }
    for (size_t i = at; i > 0; --i) m_entries[i] = m_entries[i - 1];
    m_entries[0] = path;
}

void CRecentFileList::Remove(int index) {
    if (index < 0 || index >= GetSize()) return;
    m_entries.erase(m_entries.begin() + index);
    m_entries.emplace_back();
}

void CRecentFileList::Clear() {
    for (int i = GetSize() - 1; i >= 0; --i) Remove(i);
}

void CRecentFileList::ReadList(const RegistryNames& names) {
    CRegProfile profile(names, true);
    profile.SetSection(m_section);
    size_t filled = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) m_entries[i].clear();
    for (size_t i = 0; i < m_entries.size(); ++i) {
        std::string name = m_entryPrefix + std::to_string(i + 1);
        std::string text;
        // Gaps in the stored list close up.
        if (profile.StringValue(name, text) == 0 && !text.empty()) m_entries[filled++] = text;
    }
}

void CRecentFileList::WriteList(const RegistryNames& names) const {
    CRegProfile profile(names, false);
    profile.SetSection(m_section);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        std::string name = m_entryPrefix + std::to_string(i + 1);
        std::string text = m_entries[i];
        if (!text.empty())
            profile.StringValue(name, text);
        else
            profile.RemoveValue(name);
    }
}
