#pragma once
// The door between the workers' completion callbacks and their managers.
//
// A callback runs on its worker's thread and may race the closing of the
// program: one that saw the exiting flag still clear could reach its manager
// after the manager was deleted. Every callback passes this door before it
// looks at the flag, and a manager that goes away waits, after the flag is
// set, until no callback is still inside.

// Held by a completion callback for as long as it works in its manager.
class CompletionPass {
public:
    // Open when the program is not exiting: the callback may go on.
    CompletionPass();
    ~CompletionPass();
    CompletionPass(const CompletionPass&) = delete;
    CompletionPass& operator=(const CompletionPass&) = delete;

    bool IsOpen() const { return open_; }

private:
    bool open_ = false;
};

// Returns once no callback holds an open pass. Called by a manager's
// destructor, outside its lock (a callback inside may be waiting for it).
void WaitForCompletionsInside();
