#pragma once

#include <QString>

#include <optional>
#include <utility>

// Why a step of a change to the account file failed, in plain words, and, for the few failures a
// caller takes another way around, which kind it was.
struct FailureReason
{
    enum Kind
    {
        Fault,
        // The system refused access (permissions, a read-only file system, another user's file
        // in a folder that protects it), not a fault of the disk.
        AccessRefused,
        // The system cannot take this step here (no clones on this file system, a rename across
        // two of them); nothing was changed, and another way may work.
        Unsupported,
        // Another holder kept a lock past the wait.
        Busy,
    };

    FailureReason(QString reason, Kind of = Fault) : text(std::move(reason)), kind(of) {}
    // The reason is what every caller above the file layer wants of it.
    operator const QString &() const { return text; }
    // The same failure told in a longer sentence: its placeholders take the arguments, and the
    // last one the reason.
    template <typename... Args>
    FailureReason within(const QString &sentence, const Args &...args) const
    {
        return {sentence.arg(args..., text), kind};
    }

    QString text;
    Kind kind = Fault;
};

// No value when the step went well.
using Failure = std::optional<FailureReason>;

// What a step that yields a value gives back: the value, or why there is none.
template <typename T> class Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(FailureReason failure) : m_failure(std::move(failure)) {}

    explicit operator bool() const { return m_value.has_value(); }
    const T &operator*() const { return *m_value; }
    const T *operator->() const { return &*m_value; }
    const Failure &failure() const { return m_failure; }

private:
    std::optional<T> m_value;
    Failure m_failure;
};
