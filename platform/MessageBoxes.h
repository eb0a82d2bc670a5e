#pragma once
#include <QString>
#include <memory>

/// Every box the program shows goes through this seam, so tests can answer them.
/// The real implementation shows modal Qt message boxes; a scripted double in the
/// tests records each box and returns queued answers.
class MessageService {
public:
    virtual ~MessageService() = default;
    /// The text, the application title as caption, one OK button.
    virtual void information(const QString &text) = 0;
    /// Caption "Confirm", question mark, Yes and No; true only for Yes.
    virtual bool confirm(const QString &text) = 0;
    /// Caption "Confirm", question mark, "Delete record?", OK (default) and Cancel.
    virtual bool confirmDelete() = 0;
    /// The error box: text, application title, error icon, OK.
    virtual void error(const QString &text) = 0;
    /// A box with its own caption and error icon, shown when start-up fails.
    virtual void fatal(const QString &caption, const QString &text) = 0;
};

namespace Messages {
/// The service in force; the Qt boxes unless a test installed another.
MessageService &service();
/// Installs a service (nullptr restores the Qt boxes); returns the previous one.
std::unique_ptr<MessageService> install(std::unique_ptr<MessageService> service);

inline void information(const QString &text) { service().information(text); }
inline bool confirm(const QString &text) { return service().confirm(text); }
inline bool confirmDelete() { return service().confirmDelete(); }
inline void error(const QString &text) { service().error(text); }
} // namespace Messages
