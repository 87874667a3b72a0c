#pragma once
// Ctrl-C, SIGTERM and SIGHUP (a closed terminal) while k40 may be writing to a radio. The
// first one only asks the run to stop at its next step (a batch on the line is never cut,
// the radio's state is put back); a second one, or one while no radio run is on, ends the
// program at once.

#include <atomic>

class RadioRunInterrupts {
public:
    RadioRunInterrupts();   // installs the handlers
    ~RadioRunInterrupts();  // puts the previous ones back
    RadioRunInterrupts(const RadioRunInterrupts &) = delete;
    RadioRunInterrupts &operator=(const RadioRunInterrupts &) = delete;

    const std::atomic<bool> &requested() const;
    // While only waiting for a radio, an interrupt just ends the wait; says so.
    void set_waiting(bool waiting) const;
};
