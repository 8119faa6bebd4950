#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace ftp {

// The FTP client's queue of commands still to send: the last one pushed is
// sent first, so a sequence is pushed in reverse order of sending.
class TIpFtpCommandStack {
public:
    static constexpr std::size_t Capacity = 128;

    // Throws EIpError "Fatal Error: Command stack full" (and empties the
    // stack) when it already holds Capacity commands.
    void Push(const QString &command);
    std::optional<QString> Pop();
    void Clear() { commands_.clear(); }
    bool Empty() const { return commands_.empty(); }
    std::size_t Size() const { return commands_.size(); }

private:
    std::vector<QString> commands_;
};

} // namespace ftp
