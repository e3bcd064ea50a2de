#include "contacts/records.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

// Under AddressSanitizer every node and every text comes from the general
// heap, so that one used after its end is caught there rather than hidden in
// a shared block.
#if defined(__SANITIZE_ADDRESS__)
#define NW_POOLED 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NW_POOLED 0
#endif
#endif
#ifndef NW_POOLED
#define NW_POOLED 1
#endif

namespace {

// Node memory in blocks of NodesPerBlock, handed out from a free list. A node
// that is deleted goes back on the list; when no node is left in any list,
// every block is given back to the system, so the pool holds memory only as
// long as the phonebooks that needed it.
class NodePool {
public:
    void* Take()
    {
        if (!free_ && !Grow())
            throw std::bad_alloc();
        Slot* slot = free_;
        free_ = slot->next;
        ++live_;
        return slot;
    }

    void Give(void* p) noexcept
    {
        Slot* slot = static_cast<Slot*>(p);
        slot->next = free_;
        free_ = slot;
        if (--live_ == 0)
            Release();
    }

private:
    union Slot {
        Slot* next;
        alignas(RecordList::Node) unsigned char bytes[sizeof(RecordList::Node)];
    };
    struct Block {
        Block* next;
        Slot slots[1];
    };
    static constexpr std::size_t NodesPerBlock = 256;

    bool Grow()
    {
        void* memory = std::malloc(sizeof(Block) + (NodesPerBlock - 1) * sizeof(Slot));
        if (!memory)
            return false;
        Block* block = static_cast<Block*>(memory);
        block->next = blocks_;
        blocks_ = block;
        // Chained in address order, so that a list filled in one go lies in
        // memory in its own order.
        for (std::size_t i = NodesPerBlock; i-- > 0;) {
            block->slots[i].next = free_;
            free_ = &block->slots[i];
        }
        return true;
    }

    void Release() noexcept
    {
        while (blocks_) {
            Block* next = blocks_->next;
            std::free(blocks_);
            blocks_ = next;
        }
        free_ = nullptr;
    }

    Slot* free_ = nullptr;
    Block* blocks_ = nullptr;
    std::size_t live_ = 0;
};

// Constant-initialised and without a destructor, so that lists destroyed at
// exit, in whatever order, still find it.
constinit NodePool pool;

NodePool& Pool()
{
    return pool;
}

}  // namespace

namespace {

// Texts are made by the million when a phonebook is loaded and mostly go
// together when it is dropped, so they are cut from shared 64 KiB pieces:
// each piece counts the texts it holds and goes back to the heap when the
// last of them goes. A text longer than a sixteenth of a piece gets a heap
// block of its own. Texts that outlive the others of their piece keep the
// whole piece; a phonebook never holds more than what was loaded into it.
constexpr std::size_t PieceBytes = 64 * 1024;
constexpr std::size_t LargestShared = PieceBytes / 16;

struct Piece {
    std::uint32_t texts;  // texts cut from this piece and still alive
    std::uint32_t used;   // bytes handed out, this header included
};
static_assert(sizeof(Piece) % 8 == 0);

constinit Piece* g_current = nullptr;  // the piece new texts are cut from

Piece* PieceOf(const void* text)
{
    return reinterpret_cast<Piece*>(reinterpret_cast<std::uintptr_t>(text) & ~(PieceBytes - 1));
}

}  // namespace

RecordText::Block* RecordText::Make(std::u16string_view text)
{
    if (text.empty())
        return nullptr;
    if (text.size() > 0x7FFFFFFF)
        throw std::length_error("record text too long");
    // With a closing NUL, as std::u16string::data() has one.
    const std::size_t bytes = (sizeof(Block) + (text.size() + 1) * sizeof(char16_t) + 7) & ~std::size_t{7};
    Block* block = nullptr;
    if (NW_POOLED && bytes <= LargestShared) {
        if (!g_current || g_current->used + bytes > PieceBytes) {
            void* memory = std::aligned_alloc(PieceBytes, PieceBytes);
            if (!memory)
                throw std::bad_alloc();
            // The piece left behind goes as soon as it holds no text.
            if (g_current && g_current->texts == 0)
                std::free(g_current);
            g_current = static_cast<Piece*>(memory);
            g_current->texts = 0;
            g_current->used = sizeof(Piece);
        }
        block = reinterpret_cast<Block*>(reinterpret_cast<unsigned char*>(g_current) + g_current->used);
        g_current->used += static_cast<std::uint32_t>(bytes);
        ++g_current->texts;
        block->alone = 0;
    } else {
        block = static_cast<Block*>(std::malloc(bytes));
        if (!block)
            throw std::bad_alloc();
        block->alone = 1;
    }
    block->references = 1;
    block->size = static_cast<std::uint32_t>(text.size());
    std::memcpy(block->characters(), text.data(), text.size() * sizeof(char16_t));
    block->characters()[text.size()] = u'\0';
    return block;
}

void RecordText::Free(Block* block) noexcept
{
    if (block->alone) {
        std::free(block);
        return;
    }
    Piece* piece = PieceOf(block);
    if (--piece->texts > 0)
        return;
    if (piece == g_current)
        piece->used = sizeof(Piece);  // empty again: cut the next texts from its start
    else
        std::free(piece);
}


// Every record of a phonebook is a node: the size counts (see Node).
static_assert(sizeof(void*) != 8 || sizeof(RecordList::Node) == 56);

void* RecordList::Node::operator new(std::size_t size)
{
    if (!NW_POOLED)
        return ::operator new(size);
    return Pool().Take();
}

void RecordList::Node::operator delete(void* node) noexcept
{
    if (!NW_POOLED)
        ::operator delete(node);
    else if (node)
        Pool().Give(node);
}

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

void RecordList::Link(Node* at, Node* first, Node* last, std::size_t count)
{
    Node* after = at ? at->next : head_;
    first->prev = at;
    last->next = after;
    if (at)
        at->next = first;
    else
        head_ = first;
    if (after)
        after->prev = last;
    else
        tail_ = last;
    size_ += count;
}

void RecordList::Unlink(Node* first, Node* last, std::size_t count)
{
    if (first->prev)
        first->prev->next = last->next;
    else
        head_ = last->next;
    if (last->next)
        last->next->prev = first->prev;
    else
        tail_ = first->prev;
    size_ -= count;
}

RecordList::Node* RecordList::InsertAfter(Node* at, Node* node)
{
    Link(at, node, node, 1);
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
    Unlink(node, node, 1);
    if (current_ == node)
        current_ = node->prev;
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
    source.Unlink(first, last, count);
    Link(tail_, first, last, count);
    return first;
}

RecordList::Node* RecordList::Insert(Node* at, NodeRecord record)
{
    Node* node = new Node;
    node->record = std::move(record);
    return InsertAfter(at, node);
}

void RecordList::Move(Node* at, Node* first, Node* last)
{
    std::size_t count = 1;
    for (Node* n = first; n != last; n = n->next)
        ++count;
    Unlink(first, last, count);
    Link(at, first, last, count);
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
        Node* node = new Node{n->record};
        node->unit = n->unit;
        InsertAfter(tail_, node);
    }
    current_ = nullptr;
}
