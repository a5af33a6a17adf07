#pragma once
// Traffic logging of the device link: a switch read from any thread and a hook that writes
// (tag, data) lines to the communication protocol on the user-interface thread.

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

class TLinkLog {
public:
    using Hook = std::function<void(const QString& tag, const QByteArray& data)>;

    static TLinkLog& instance();

    // The "General/Logging" switch, published here so the worker can read it without the tree.
    void setEnabled(bool on) { FEnabled.store(on, std::memory_order_relaxed); }
    bool enabled() const { return FEnabled.load(std::memory_order_relaxed); }

    // User-interface thread only.
    void setHook(Hook hook) { FHook = std::move(hook); }
    // Writes through the hook when logging is on. User-interface thread only.
    void write(const QString& tag, const QByteArray& data) const;

private:
    std::atomic<bool> FEnabled{false};
    Hook FHook;
};
