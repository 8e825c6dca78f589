#pragma once

#include <functional>
#include <unordered_map>

// The enabled and checked state of one command, asked of the route before a menu opens, on
// idle and before a shortcut runs.
class CCmdUI {
public:
    explicit CCmdUI(int id) : m_nID(id) {}
    void Enable(bool on = true) {
        m_enabled = on;
        m_handled = true;
    }
    void SetCheck(bool on = true) {
        m_checked = on;
        m_handled = true;
    }
    int m_nID;
    bool m_enabled = true;
    bool m_checked = false;
    bool m_handled = false;
};

// Something a command can be offered to: it answers from its own table of command and update
// handlers. A command with a handler and no update handler is enabled.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    // ui null: run the command. Otherwise fill in its state. True when this target took it.
    virtual bool OnCmdMsg(int id, CCmdUI* ui);

protected:
    void OnCommand(int id, std::function<void()> handler) { m_commands[id] = std::move(handler); }
    void OnUpdate(int id, std::function<void(CCmdUI&)> handler) {
        m_updates[id] = std::move(handler);
    }

private:
    std::unordered_map<int, std::function<void()>> m_commands;
    std::unordered_map<int, std::function<void(CCmdUI&)>> m_updates;
};
