#include "editor/Command.h"

#include <algorithm>

// ---------------------------------------------------------------------------------------------
// CCommandMacro

CCommandMacro::~CCommandMacro() {
    for (CCommand* c : m_commands) delete c;
}

int CCommandMacro::Execute() {
    for (CCommand* c : m_commands)
        if (!c->Execute()) return 0;
    return 1;
}

CCommand* CCommandMacro::CreateUndoCommand() {
    auto undo = std::make_unique<CCommandMacro>();
    for (auto it = m_commands.rbegin(); it != m_commands.rend(); ++it)
        if (CCommand* c = (*it)->CreateUndoCommand()) undo->Add(c);
    return undo.release();
}

CCommand* CCommandMacro::CreateRedoCommand() {
    auto redo = std::make_unique<CCommandMacro>();
    for (CCommand* member : m_commands)
        if (CCommand* c = member->CreateRedoCommand()) redo->Add(c);
    return redo.release();
}

void CCommandMacro::GetDescription(std::string& out) const {
    out.clear();
    std::string part;
    for (const CCommand* c : m_commands) {
        c->GetDescription(part);
        if (!out.empty()) out += "; ";
        out += part;
    }
}

// ---------------------------------------------------------------------------------------------
// CTilletCommand

CTilletCommand::CTilletCommand(CCommandDocument* document, ImageFilter* filter,
                               std::string description, CPicture* destination)
    : m_filter(filter), m_snapshot(std::make_unique<CPictureSnapshot>(*document->GetPicture())),
      m_target(document->GetPicture()), m_destination(destination), m_document(document),
      m_wasModified(document->IsModified()), m_description(std::move(description)) {}

CTilletCommand::~CTilletCommand() = default;

int CTilletCommand::Execute() {
    if (m_destination)
        m_filter->Apply(*m_target, *m_destination);
    else
        m_filter->ApplyInPlace(*m_target);
    m_document->SetModifiedFlag(true);
    return 1;
}

int CTilletCommand::Restore() {
    m_snapshot->RestoreInto(m_destination ? *m_destination : *m_target);
    m_document->SetModifiedFlag(m_wasModified);
    return 1;
}

CCommand* CTilletCommand::CreateUndoCommand() {
    return new CTilletUndoCommand(this);
}

CCommand* CTilletCommand::CreateRedoCommand() {
    return new CTilletRedoCommand(this);
}

// ---------------------------------------------------------------------------------------------
// CCommandHistory

CCommandHistory::CCommandHistory() : m_slots(HistorySlots, nullptr) {}

CCommandHistory::~CCommandHistory() {
    delete m_tentative;
    for (CCommand* c : m_slots) delete c;
}

bool CCommandHistory::ExecuteAndNotify(CCommand* command) {
    if (!command->Execute()) return false;
    if (auto* macro = dynamic_cast<CCommandMacro*>(command)) {
        for (CCommand* c : macro->GetCommands()) OnCommandExecuted(c);
    } else {
        OnCommandExecuted(command);
    }
    return true;
}

int CCommandHistory::Do(CCommand* command, int record) {
    // The history owns the command from here on, also when it fails or throws; one that
    // failed is deleted whether or not it was to be recorded, so it never leaks.
    std::unique_ptr<CCommand> owned(command);
    if (!owned || !ExecuteAndNotify(owned.get())) return 0;
    if (record) Push(owned.release());
    return 1;
}

int CCommandHistory::DoTentative(CCommand* command, int record) {
    std::unique_ptr<CCommand> owned(command);
    if (!owned || !ExecuteAndNotify(owned.get())) return 0;
    if (record) {
        delete m_tentative;
        m_tentative = owned.release();
    }
    return 1;
}

void CCommandHistory::DeleteSlot(int index) {
    CCommand*& slot = m_slots[size_t(index)];
    delete slot;
    slot = nullptr;
}

void CCommandHistory::Push(CCommand* command) {
    if (m_slots[size_t(m_position)]) DeleteSlot(m_position);
    // Discards the redo branch, or in a full ring the oldest command.
    for (int i = 0; i < m_redoCount; ++i) DeleteSlot((m_position + i) % HistorySlots);
    m_slots[size_t(m_position)] = command;
    m_position = (m_position + 1) % HistorySlots;
    m_undoCount = std::min(m_undoCount + 1, HistorySlots);
    // A clean state on the discarded branch can never be reached again.
    if (m_cleanDistance < 0 && m_redoCount > 0)
        m_cleanDistance = HistorySlots + 1;
    else
        m_cleanDistance = std::min(m_cleanDistance + 1, HistorySlots + 1);
    m_redoCount = 0;
    OnHistoryChanged();
}

int CCommandHistory::Undo() {
    if (!CanUndo()) return 0;
    m_redoCount = std::min(m_redoCount + 1, HistorySlots);
    m_undoCount = std::max(m_undoCount - 1, -HistorySlots);
    m_cleanDistance = std::max(m_cleanDistance - 1, -HistorySlots - 1);
    m_position = (m_position + HistorySlots - 1) % HistorySlots;
    if (CCommand* c = m_slots[size_t(m_position)]) Do(c->CreateUndoCommand(), 0);
    OnHistoryChanged();
    return 1;
}

int CCommandHistory::Redo() {
    if (!CanRedo()) return 0;
    CCommand* c = m_slots[size_t(m_position)];
    m_position = (m_position + 1) % HistorySlots;
    m_redoCount = std::max(m_redoCount - 1, -HistorySlots);
    m_undoCount = std::min(m_undoCount + 1, HistorySlots);
    m_cleanDistance = std::min(m_cleanDistance + 1, HistorySlots + 1);
    if (c) Do(c->CreateRedoCommand(), 0);
    OnHistoryChanged();
    return 1;
}

void CCommandHistory::Clear() {
    for (int i = HistorySlots - 1; i >= 0; --i) DeleteSlot(i);
    m_position = m_undoCount = m_redoCount = m_cleanDistance = 0;
    OnHistoryChanged();
}

int CCommandHistory::UndoTentative() {
    if (!m_tentative) return 0;
    const int result = DoTentative(m_tentative->CreateUndoCommand(), 0);
    OnHistoryChanged();
    return result;
}

int CCommandHistory::CommitTentative(int record) {
    if (!m_tentative) return 0;
    CCommand* c = m_tentative;
    m_tentative = nullptr;
    if (record)
        Push(c);
    else
        delete c;
    return 1;
}

// ---------------------------------------------------------------------------------------------
// CDocCommandHistory

int CDocCommandHistory::DoTentative(CCommand* command, int record) {
    const int result = CCommandHistory::DoTentative(command, record);
    m_document->UpdateAllViews(1, nullptr);
    return result;
}

void CDocCommandHistory::OnHistoryChanged() {
    m_document->UpdateTitle();
}

void CDocCommandHistory::OnCommandExecuted(CCommand* command) {
    std::string description;
    command->GetDescription(description);
    m_document->SetStatusText("Last command : " + description);
    m_document->UpdateAllViews(0, command);
}
