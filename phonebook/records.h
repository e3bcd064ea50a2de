#pragma once
// One element of a phonebook flattened into a record, and the ordered list of
// records that is a panel's phonebook.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

struct NodeRecord {
    std::u16string nr;          // element index in document order + " (1)" / " (2)"
    std::int32_t depth = 0;     // 0 for the main element
    std::u16string name;
    std::u16string attributes;  // name="value"| per attribute, run together
    std::u16string text;
};

// Doubly linked list of records with one current position, which may lie
// before the first record.
//
// Nodes never move while they are in the list, so a Node* stays valid until
// its record is removed; panels keep such pointers as their index from a list
// row to the contact's first record.
class RecordList {
public:
    struct Node {
        NodeRecord record;
        Node* prev = nullptr;
        Node* next = nullptr;
        // Where the record came from: 0 for records made by loading or by a
        // new phonebook, else the number of the transfer that brought its
        // contact into this list. Saving uses it to keep a contact that was
        // brought in out of the elements of other contacts.
        std::uint32_t unit = 0;
    };

    RecordList() = default;
    RecordList(const RecordList& other);
    RecordList& operator=(const RecordList& other);
    RecordList(RecordList&& other) noexcept;
    RecordList& operator=(RecordList&& other) noexcept;
    ~RecordList();

    // current := before the first record.
    void Reset();
    // current := the following record (the first one after Reset) and return
    // it; at the end return nullptr and leave current where it is.
    NodeRecord* Next();
    // current := the record before the current one and return it; nullptr at
    // the start (current is then before the first record).
    NodeRecord* Previous();
    // current := the last record; nullptr for an empty list.
    NodeRecord* Last();
    // Inserts a new empty record after the current one (at the front when
    // current lies before the first record); it becomes current.
    NodeRecord& Add();
    // Removes the current record; current := the record before it. Nothing
    // happens when current lies before the first record.
    void DeleteCurrent();
    // Removes all records; current := before the first.
    void Clear();
    // Makes this list an exact duplicate of source (emptied first; the
    // source is unchanged). current := before the first.
    void CopyFrom(const RecordList& source);
    // The current record, nullptr before the first.
    NodeRecord* Current() const { return current_ ? &current_->record : nullptr; }

    // Last, then Add: appends a record at the end and makes it current.
    NodeRecord& Append(NodeRecord record);

    std::size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }

    Node* FirstNode() const { return head_; }
    Node* LastNode() const { return tail_; }
    Node* CurrentNode() const { return current_; }
    // Removes one node of this list and returns the node that followed it.
    // When it was the current node, current moves to the one before it.
    Node* Erase(Node* node);
    // Moves the nodes from first up to, not including, end (nullptr: to the
    // end of source) out of source and appends them to this list, unchanged
    // and in order; no record is copied. When source's current node is among
    // them, source's current moves to the node before first. Returns first.
    Node* AppendFrom(RecordList& source, Node* first, Node* end);

    class const_iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = NodeRecord;
        using difference_type = std::ptrdiff_t;
        using pointer = const NodeRecord*;
        using reference = const NodeRecord&;

        const_iterator() = default;
        const_iterator(const Node* node, const RecordList* list) : node_(node), list_(list) {}
        reference operator*() const { return node_->record; }
        pointer operator->() const { return &node_->record; }
        const_iterator& operator++()
        {
            node_ = node_->next;
            return *this;
        }
        const_iterator operator++(int)
        {
            auto copy = *this;
            ++*this;
            return copy;
        }
        const_iterator& operator--()
        {
            node_ = node_ ? node_->prev : list_->tail_;
            return *this;
        }
        const_iterator operator--(int)
        {
            auto copy = *this;
            --*this;
            return copy;
        }
        bool operator==(const const_iterator& o) const { return node_ == o.node_; }
        const Node* node() const { return node_; }

    private:
        const Node* node_ = nullptr;
        const RecordList* list_ = nullptr;
    };
    const_iterator begin() const { return {head_, this}; }
    const_iterator end() const { return {nullptr, this}; }

private:
    Node* InsertAfter(Node* at, Node* node);

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    Node* current_ = nullptr;
    std::size_t size_ = 0;
};
