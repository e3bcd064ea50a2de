#pragma once
// One element of a phonebook flattened into a record, and the ordered list of
// records that is a panel's phonebook.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>

// A text of a record. It never changes once made (assigning makes a new
// one), so copies share one buffer: copying a record, and so a whole
// phonebook, copies no characters. Its size is one pointer; the empty text
// holds no buffer at all. Not for use from several threads at once.
class RecordText {
public:
    RecordText() = default;
    RecordText(std::u16string_view text) : block_(Make(text)) {}
    RecordText(const std::u16string& text) : RecordText(std::u16string_view(text)) {}
    RecordText(const char16_t* text) : RecordText(std::u16string_view(text)) {}
    RecordText(const RecordText& other) noexcept : block_(other.block_)
    {
        if (block_)
            ++block_->references;
    }
    RecordText(RecordText&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    RecordText& operator=(const RecordText& other) noexcept
    {
        RecordText copy(other);
        Swap(copy);
        return *this;
    }
    RecordText& operator=(RecordText&& other) noexcept
    {
        RecordText moved(std::move(other));
        Swap(moved);
        return *this;
    }
    RecordText& operator=(std::u16string_view text) { return *this = RecordText(text); }
    RecordText& operator=(const std::u16string& text) { return *this = RecordText(text); }
    RecordText& operator=(const char16_t* text) { return *this = RecordText(text); }
    ~RecordText() { Drop(); }

    std::u16string_view view() const
    {
        return block_ ? std::u16string_view(block_->characters(), block_->size) : std::u16string_view();
    }
    operator std::u16string_view() const { return view(); }
    std::u16string str() const { return std::u16string(view()); }
    operator std::u16string() const { return str(); }

    bool empty() const { return !block_; }
    std::size_t size() const { return block_ ? block_->size : 0; }
    // Followed by a NUL, like std::u16string's.
    const char16_t* data() const { return block_ ? block_->characters() : u""; }
    char16_t operator[](std::size_t i) const { return block_->characters()[i]; }
    const char16_t* begin() const { return data(); }
    const char16_t* end() const { return data() + size(); }
    void clear() { Drop(); }

    // True when both share one buffer (or both are empty).
    bool SharesWith(const RecordText& other) const { return block_ == other.block_; }

    friend bool operator==(const RecordText& a, const RecordText& b)
    {
        return a.block_ == b.block_ || a.view() == b.view();
    }
    template <typename T>
        requires(std::is_convertible_v<const T&, std::u16string_view> &&
                 !std::is_same_v<std::remove_cvref_t<T>, RecordText>)
    friend bool operator==(const RecordText& a, const T& b)
    {
        return a.view() == std::u16string_view(b);
    }

private:
    struct Block {
        std::uint32_t references;
        std::uint32_t size : 31;
        std::uint32_t alone : 1;  // its own heap block, not a piece of a shared one
        char16_t* characters() { return reinterpret_cast<char16_t*>(this + 1); }
    };
    static Block* Make(std::u16string_view text);
    void Drop() noexcept
    {
        if (block_ && --block_->references == 0)
            Free(block_);
        block_ = nullptr;
    }
    static void Free(Block* block) noexcept;
    void Swap(RecordText& other) noexcept
    {
        Block* b = block_;
        block_ = other.block_;
        other.block_ = b;
    }

    Block* block_ = nullptr;
};

struct NodeRecord {
    RecordText nr;          // element index in document order + " (1)" / " (2)"
    RecordText name;
    RecordText attributes;  // name="value"| per attribute, run together
    RecordText text;
    std::int32_t depth = 0; // 0 for the main element; last, so that a list
                            // node can use the room behind it
};

// Doubly linked list of records with one current position, which may lie
// before the first record.
//
// Nodes never move while they are in the list, so a Node* stays valid until
// its record is removed; panels keep such pointers as their index from a list
// row to the contact's first record.
class RecordList {
public:
    struct Node final {
        // unit fills the room behind the record's depth: a node of a
        // phonebook's million costs 56 bytes rather than 64.
        [[no_unique_address]] NodeRecord record;
        // Where the record came from: 0 for records made by loading or by a
        // new phonebook, else the number of the transfer that brought its
        // contact into this list. Saving uses it to keep a contact that was
        // brought in out of the elements of other contacts.
        std::uint32_t unit = 0;
        Node* prev = nullptr;
        Node* next = nullptr;

        // Nodes come from a pool shared by every list: a phonebook holds a
        // million of them, and loading makes and frees them by the million.
        static void* operator new(std::size_t size);
        static void operator delete(void* node) noexcept;
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
    // Inserts a node holding record after at (at the front when at is
    // nullptr) and returns it; current stays where it is.
    Node* Insert(Node* at, NodeRecord record);
    // Moves the run first..last of this list, unchanged and in order, to
    // after at (to the front when at is nullptr); at must not lie in the run.
    // current stays on its node.
    void Move(Node* at, Node* first, Node* last);

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
    // Links the chain first..last (count nodes) in after at (at the front
    // when at is nullptr).
    void Link(Node* at, Node* first, Node* last, std::size_t count);
    // Takes the run first..last (count nodes) out of the links; current is
    // left to the caller.
    void Unlink(Node* first, Node* last, std::size_t count);

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    Node* current_ = nullptr;
    std::size_t size_ = 0;
};
