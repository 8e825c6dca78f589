#include "framework/CmdTarget.h"

bool CCmdTarget::OnCmdMsg(int id, CCmdUI* ui) {
    if (ui) {
        auto up = m_updates.find(id);
        if (up != m_updates.end()) {
            ui->m_handled = false;
            up->second(*ui);
            if (ui->m_handled) return true;
        }
        if (m_commands.count(id)) {
            ui->Enable(true);
            return true;
        }
        return false;
    }
    auto it = m_commands.find(id);
    if (it == m_commands.end()) return false;
    it->second();
    return true;
}
