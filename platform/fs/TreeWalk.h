#pragma once

#include "EntryInfo.h"
#include "platform/io/UniqueFd.h"

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// A depth-first walk of a folder tree by descriptor, without recursion: the folders being walked
// sit on an explicit stack and only the deepest few keep a descriptor open, so neither the
// thread's stack nor the descriptor limit bounds the depth. A folder whose descriptor was closed
// is opened again through ".." of its child and must be the very folder that was left, else the
// walk stops. Links are never followed, and nothing on another mount is entered: a mount point,
// a bind mount of the same file system included, is handed to the visitor and left alone.
class TreeWalk
{
public:
    class Visitor
    {
    public:
        virtual ~Visitor() = default;
        // An entry that is not a folder; dirFd is the open folder holding it.
        virtual void entry(int dirFd, const std::string& name, const EntryInfo& info) = 0;
        // A folder about to be entered; false leaves it and everything below it alone.
        virtual bool enter(int, const std::string&, const EntryInfo&) { return true; }
        // A folder after its contents were walked, named in the open folder dirFd.
        virtual void leave(int, const std::string&, const EntryInfo&) { }
        // A mount point below the walked folder; it is not entered.
        virtual void mountPoint(int, const std::string&) { }
    };

    struct Options
    {
        std::size_t maxOpen = 32; // folder descriptors kept open at once, besides the starting one
        bool noAccessTime = false; // open folders with O_NOATIME where allowed
    };

    TreeWalk();
    explicit TreeWalk(Options options);

    // Walks everything below the open folder dirFd, which stays the caller's. False when dirFd
    // itself could not be listed; problems further down are kept in problem().
    bool walk(int dirFd, Visitor& visitor);

    // Records why the walk (or what the visitor does on it) could not finish: the first problem
    // is kept, with the path below the starting folder of the entry `name` in the current folder.
    void fail(const std::string& what, const std::string& name, int error = 0);
    bool complete() const { return m_problem.empty(); }
    const std::string& problem() const { return m_problem; }

private:
    struct Frame
    {
        UniqueFd fd; // closed while the folder lies deeper than the open window
        EntryInfo info;
        std::string name; // in its parent folder
        std::vector<std::string> names;
        std::size_t next = 0;
    };

    bool list(Frame& frame);
    void step(Visitor& visitor);
    bool ascend(Visitor& visitor);
    UniqueFd openChild(int dirFd, const std::string& name) const;
    std::string relativePath(const std::string& name) const;

    Options m_options;
    std::vector<Frame> m_stack;
    EntryInfo m_root;
    std::string m_problem;
};

} // namespace platform
