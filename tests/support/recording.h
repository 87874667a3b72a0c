#pragma once
// What the model tells the person and how long it would wait, recorded instead of shown
// and waited for. Shared by the tests of every layer.

#include "messages.h"

#include <QList>
#include <QStringList>

#include <mutex>

// Safe to post to from the serial service's thread while the test reads.
class RecordingSink final : public MessageSink {
public:
    void show_text(const QString &text) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_ << text;
    }
    // Every text in order, the blanks included.
    QStringList texts() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }
    // The non-empty texts, in order.
    QStringList messages() const
    {
        QStringList out;
        for (const QString &t : texts())
            if (!t.isEmpty())
                out << t;
        return out;
    }
    QString last() const
    {
        const QStringList m = messages();
        return m.isEmpty() ? QString() : m.last();
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.clear();
    }

private:
    mutable std::mutex mutex_;
    QStringList texts_;
};

// Records every wait and takes no time.
class RecordingSleeper final : public Sleeper {
public:
    void sleep_ms(int ms) override { pauses << ms; }
    QList<int> pauses;
};
