#pragma once

#include <list>

// An object shared by reference count; the last Release deletes it.
class CRefObject {
public:
    CRefObject() = default;
    CRefObject(const CRefObject&) = delete;
    CRefObject& operator=(const CRefObject&) = delete;

    void AddRef() { ++m_refCount; }
    // Deletes the object when this was the last reference.
    void Release() {
        if (m_refCount-- == 1) delete this;
    }
    int GetRefCount() const { return m_refCount; }

protected:
    virtual ~CRefObject() = default;

private:
    int m_refCount = 0;
};

// A list that holds one reference to each of its elements.
class CRefObList {
public:
    CRefObList() = default;
    CRefObList(const CRefObList&) = delete;
    CRefObList& operator=(const CRefObList&) = delete;
    ~CRefObList() { RemoveAll(); }

    void AddTail(CRefObject* object) {
        object->AddRef();
        m_list.push_back(object);
    }
    // Releases every element, then empties the list.
    void RemoveAll() {
        for (CRefObject* o : m_list) o->Release();
        m_list.clear();
    }
    int GetCount() const { return int(m_list.size()); }
    bool IsEmpty() const { return m_list.empty(); }
    CRefObject* GetHead() const { return m_list.front(); }
    CRefObject* GetTail() const { return m_list.back(); }
    auto begin() const { return m_list.begin(); }
    auto end() const { return m_list.end(); }

private:
    std::list<CRefObject*> m_list;
};
