#pragma once

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "editor/ImageFilter.h"
#include "editor/Snapshot.h"

// Every change the editor makes is a command: it executes itself and makes the commands that
// reverse and repeat it.
class CCommand {
public:
    enum Kind { Ordinary = 1, UndoKind = 2, RedoKind = 3 };

    virtual ~CCommand() = default;
    virtual int GetKind() const = 0;
    // Non-zero on success.
    virtual int Execute() { return 1; }
    // New commands owned by the caller; may be null.
    virtual CCommand* CreateUndoCommand() = 0;
    virtual CCommand* CreateRedoCommand() = 0;
    virtual void GetDescription(std::string& out) const = 0;
};

// An ordered list of commands executed as one. The editor builds none; the history tells its
// listeners about each member.
class CCommandMacro : public CCommand {
public:
    CCommandMacro() = default;
    ~CCommandMacro() override;

    // Takes ownership.
    void Add(CCommand* command) { m_commands.push_back(command); }
    const std::list<CCommand*>& GetCommands() const { return m_commands; }

    int GetKind() const override { return Ordinary; }
    // Runs the members in order; stops at the first that fails.
    int Execute() override;
    // Undo runs the members' undo commands in reverse order, redo their redo commands in order.
    CCommand* CreateUndoCommand() override;
    CCommand* CreateRedoCommand() override;
    void GetDescription(std::string& out) const override;

private:
    std::list<CCommand*> m_commands;
};

// What a command needs of the document it changes. The image document implements it.
class CCommandDocument {
public:
    virtual ~CCommandDocument() = default;
    // The document's picture; the object stays the same while the document lives.
    virtual CPicture* GetPicture() = 0;
    virtual bool IsModified() const = 0;
    virtual void SetModifiedFlag(bool modified) = 0;
};

// One image operation on a document's picture, undone by restoring a snapshot of the
// picture taken when the command was made. The snapshot is compressed in the background once
// taken, so that ten steps on a large capture do not hold ten full copies.
class CTilletCommand : public CCommand {
public:
    // Takes ownership of filter. The snapshot is taken now.
    CTilletCommand(CCommandDocument* document, ImageFilter* filter, std::string description,
                   CPicture* destination = nullptr);
    ~CTilletCommand() override;

    int GetKind() const override { return Ordinary; }
    int Execute() override;
    // Copies the snapshot back (size and depth included) and restores the modified flag.
    int Restore();
    CCommand* CreateUndoCommand() override;
    CCommand* CreateRedoCommand() override;
    void GetDescription(std::string& out) const override { out = m_description; }
    const CPictureSnapshot& GetSnapshot() const { return *m_snapshot; }

private:
    std::unique_ptr<ImageFilter> m_filter;
    std::unique_ptr<CPictureSnapshot> m_snapshot;
    CPicture* m_target;
    CPicture* m_destination;
    CCommandDocument* m_document;
    bool m_wasModified;
    std::string m_description;
};

class CTilletUndoCommand : public CCommand {
public:
    explicit CTilletUndoCommand(CTilletCommand* owner) : m_owner(owner) {}
    int GetKind() const override { return UndoKind; }
    int Execute() override { return m_owner->Restore(); }
    CCommand* CreateUndoCommand() override { return nullptr; }
    CCommand* CreateRedoCommand() override { return nullptr; }
    void GetDescription(std::string& out) const override { out = "Undo last action"; }

private:
    CTilletCommand* m_owner;
};

class CTilletRedoCommand : public CCommand {
public:
    explicit CTilletRedoCommand(CTilletCommand* owner) : m_owner(owner) {}
    int GetKind() const override { return RedoKind; }
    int Execute() override { return m_owner->Execute(); }
    CCommand* CreateUndoCommand() override { return nullptr; }
    CCommand* CreateRedoCommand() override { return nullptr; }
    void GetDescription(std::string& out) const override { out = "Redo last action"; }

private:
    CTilletCommand* m_owner;
};

// A bounded history of executed commands in a ring of slots, walked back and forth by undo
// and redo, plus one tentative command: executed but not yet recorded.
class CCommandHistory {
public:
    static constexpr int HistorySlots = 10;

    CCommandHistory();
    CCommandHistory(const CCommandHistory&) = delete;
    CCommandHistory& operator=(const CCommandHistory&) = delete;
    virtual ~CCommandHistory();

    // Both take ownership of command, whatever the outcome.
    virtual int DoTentative(CCommand* command, int record);
    virtual int Do(CCommand* command, int record);
    virtual void Push(CCommand* command);
    virtual int Undo();
    virtual int Redo();
    virtual bool CanUndo() const { return m_undoCount != 0; }
    virtual bool CanRedo() const { return m_redoCount != 0; }
    // Notifications for a subclass that keeps a document's title, status text and views
    // current; the base does nothing.
    virtual void OnHistoryChanged() {}
    virtual void OnCommandExecuted(CCommand* /*command*/) {}

    void Clear();
    int UndoTentative();
    int CommitTentative(int record);

    int GetPosition() const { return m_position; }
    int GetUndoCount() const { return m_undoCount; }
    int GetRedoCount() const { return m_redoCount; }
    // Steps between the current state and the state at the last Clear; HistorySlots + 1 means
    // that state can no longer be reached.
    int GetCleanDistance() const { return m_cleanDistance; }
    CCommand* GetTentative() const { return m_tentative; }
    CCommand* GetSlot(int index) const { return m_slots[size_t(index)]; }

private:
    // Executes the command and notifies about it; false when it failed.
    bool ExecuteAndNotify(CCommand* command);
    void DeleteSlot(int index);

    CCommand* m_tentative = nullptr;
    int m_position = 0;
    int m_undoCount = 0;
    int m_redoCount = 0;
    int m_cleanDistance = 0;
    std::vector<CCommand*> m_slots;
};

// What the history of an image document tells its document.
class CHistoryDocument : public CCommandDocument {
public:
    // Puts " *" behind the title when the document is modified or away from its clean state.
    virtual void UpdateTitle() = 0;
    // Redraws every view; hint 1 after a tentative command, 0 with the command executed.
    virtual void UpdateAllViews(int hint, CCommand* command) = 0;
    // The main window's status-bar text.
    virtual void SetStatusText(const std::string& text) = 0;
};

// The history embedded in an image document.
class CDocCommandHistory : public CCommandHistory {
public:
    explicit CDocCommandHistory(CHistoryDocument* document) : m_document(document) {}

    int DoTentative(CCommand* command, int record) override;
    void OnHistoryChanged() override;
    void OnCommandExecuted(CCommand* command) override;

private:
    CHistoryDocument* m_document;
};
