#pragma once
// Faults the simulated radio can inject. Each rule picks the replies it hits by their
// order (occurrences counted per rule among the replies it applies to) and/or by chance
// from the radio's seeded generator, so a run is repeatable.

#include <QString>

#include <cstdint>

// Reply kinds, as a bit mask.
enum SimReplyKind : unsigned {
    SIM_REPLY_STATE = 1u,    // to "$PSS"
    SIM_REPLY_MODE = 2u,     // to "$MC"
    SIM_REPLY_DUMP = 4u,     // to "$PSE"
    SIM_REPLY_ECHO = 8u,     // to "$PSD"
    SIM_REPLY_COMMIT = 16u,  // to "$PC"
    SIM_REPLY_ALL = 31u,
};

struct FaultRule {
    unsigned replies = SIM_REPLY_ALL;  // which replies the rule looks at
    int first = 0;                     // 0-based occurrence where the hits start
    int count = 0;                     // consecutive hits from `first`; -1 = all from there
    double rate = 0.0;                 // chance of a hit for every other occurrence

    static FaultRule always() { return FaultRule{SIM_REPLY_ALL, 0, -1, 0.0}; }
    static FaultRule times(int first, int count)
    {
        return FaultRule{SIM_REPLY_ALL, first, count, 0.0};
    }
    static FaultRule chance(double rate) { return FaultRule{SIM_REPLY_ALL, 0, 0, rate}; }
    FaultRule only(unsigned kinds) const
    {
        FaultRule r = *this;
        r.replies = kinds;
        return r;
    }

    bool active() const { return count != 0 || rate > 0.0; }
    // Whether occurrence `n` is hit by order alone.
    bool hits_by_order(int n) const { return n >= first && (count < 0 || n < first + count); }
};

struct SimFaults {
    uint32_t seed = 1;
    // Any reply.
    FaultRule silent;         // no reply at all
    FaultRule garbage;        // random bytes of the right length
    FaultRule short_garbage;  // 1..length-1 random bytes
    FaultRule drop_byte;      // one byte left out
    FaultRule corrupt_byte;   // one byte changed
    // Particular replies (their `replies` mask is not used).
    FaultRule dump_differs;     // one record of the dump carries another value
    FaultRule wrong_echo;       // one echoed value is wrong
    FaultRule miss_commit;      // the commit is neither done nor answered
    FaultRule bad_state_frame;  // the state reply is framed wrongly
    FaultRule ignore_mode;      // a mode command is answered but the state stays
    // The device disappears on this request (0-based count of requests that expect a
    // reply), -1 = never.
    int vanish_at = -1;
};

// Applies one command-line fault, "NAME[/KINDS][=WHEN]":
//   NAME  silent, garbage, short-garbage, drop-byte, corrupt-byte, dump-differs, wrong-echo,
//         miss-commit, bad-state-frame, ignore-mode
//   KINDS comma list of state, mode, dump, echo, commit (the first five names only)
//   WHEN  always (default) | N | N-M | N- (1-based occurrences) | pR (chance R, 0..1)
// Returns false with `error` set when the text is not understood.
bool parse_fault(const QString &text, SimFaults &faults, QString *error);
