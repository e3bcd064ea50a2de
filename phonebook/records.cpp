#include "phonebook/records.h"

#include <utility>

RecordList::RecordList(const RecordList& other)
{
    CopyFrom(other);
}

RecordList& RecordList::operator=(const RecordList& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

RecordList::RecordList(RecordList&& other) noexcept
    : head_(std::exchange(other.head_, nullptr)),
      tail_(std::exchange(other.tail_, nullptr)),
      current_(std::exchange(other.current_, nullptr)),
      size_(std::exchange(other.size_, 0))
{
}

RecordList& RecordList::operator=(RecordList&& other) noexcept
{
    if (this != &other) {
        Clear();
        head_ = std::exchange(other.head_, nullptr);
        tail_ = std::exchange(other.tail_, nullptr);
        current_ = std::exchange(other.current_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

RecordList::~RecordList()
{
    Clear();
}

void RecordList::Reset()
{
    current_ = nullptr;
}

NodeRecord* RecordList::Next()
{
    Node* next = current_ ? current_->next : head_;
    if (!next)
        return nullptr;
    current_ = next;
    return &current_->record;
}

NodeRecord* RecordList::Previous()
{
    if (!current_)
        return nullptr;
    current_ = current_->prev;
    return current_ ? &current_->record : nullptr;
}

NodeRecord* RecordList::Last()
{
    current_ = tail_;
    return current_ ? &current_->record : nullptr;
}

RecordList::Node* RecordList::InsertAfter(Node* at, Node* node)
{
    if (at) {
        node->prev = at;
        node->next = at->next;
        if (at->next)
            at->next->prev = node;
        else
            tail_ = node;
        at->next = node;
    } else {
        node->prev = nullptr;
        node->next = head_;
        if (head_)
            head_->prev = node;
        else
            tail_ = node;
        head_ = node;
    }
    ++size_;
    return node;
}

NodeRecord& RecordList::Add()
{
    current_ = InsertAfter(current_, new Node);
    return current_->record;
}

NodeRecord& RecordList::Append(NodeRecord record)
{
    Node* node = new Node;
    node->record = std::move(record);
    current_ = InsertAfter(tail_, node);
    return current_->record;
}

RecordList::Node* RecordList::Erase(Node* node)
{
    Node* next = node->next;
    if (node->prev)
        node->prev->next = next;
    else
        head_ = next;
    if (next)
        next->prev = node->prev;
    else
        tail_ = node->prev;
    if (current_ == node)
        current_ = node->prev;
    --size_;
    delete node;
    return next;
}

RecordList::Node* RecordList::AppendFrom(RecordList& source, Node* first, Node* end)
{
    if (!first || first == end)
        return nullptr;
    Node* last = first;
    std::size_t count = 1;
    bool holdsCurrent = source.current_ == first;
    while (last->next != end) {
        last = last->next;
        ++count;
        holdsCurrent = holdsCurrent || source.current_ == last;
    }
    if (holdsCurrent)
        source.current_ = first->prev;

    // Unlink [first, last] from source.
    if (first->prev)
        first->prev->next = end;
    else
        source.head_ = end;
    if (end)
        end->prev = first->prev;
    else
        source.tail_ = first->prev;
    source.size_ -= count;

    // Link it after this list's last node.
    first->prev = tail_;
    last->next = nullptr;
    if (tail_)
        tail_->next = first;
    else
        head_ = first;
    tail_ = last;
    size_ += count;
    return first;
}

void RecordList::DeleteCurrent()
{
    if (current_)
        Erase(current_);
}

void RecordList::Clear()
{
    Node* node = head_;
    while (node) {
        Node* next = node->next;
        delete node;
        node = next;
    }
    head_ = tail_ = current_ = nullptr;
    size_ = 0;
}

void RecordList::CopyFrom(const RecordList& source)
{
    if (this == &source) {
        current_ = nullptr;
        return;
    }
    Clear();
    for (const Node* n = source.head_; n; n = n->next) {
        Node* node = new Node;
        node->record = n->record;
        node->unit = n->unit;
        InsertAfter(tail_, node);
    }
    current_ = nullptr;
}
