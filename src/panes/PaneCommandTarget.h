#pragma once

namespace tessaly {

// A pane that carries out commands of its own, named by their numbers (ui/CommandIds.h). The main
// window asks it whether a command is enabled and checked when it updates menus and tool buttons,
// and runs the command on it.
class PaneCommandTarget {
public:
    virtual ~PaneCommandTarget() = default;

    // Whether the pane handles the command at all; unhandled commands are disabled.
    virtual bool HandlesCommand(int id) const = 0;
    virtual bool IsCommandEnabled(int id) const = 0;
    virtual bool IsCommandChecked(int /*id*/) const { return false; }
    virtual void RunCommand(int id) = 0;
};

} // namespace tessaly
