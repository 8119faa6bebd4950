#pragma once

// Error codes of the FTP client's own failures, reported through its error
// event beside the server's three-digit reply codes and the socket layer's
// codes (IpUtils.h). They lie outside both ranges.
constexpr int IpFtpErrCommandStackFull = 1000;
constexpr int IpFtpErrLocalFile = 1001;
constexpr int IpFtpErrReplyTooLong = 1002;
constexpr int IpFtpErrNotSupported = 1003;
constexpr int IpFtpErrBusy = 1004;
// The server sent more than the caller allowed for the file (MaxFileSize).
constexpr int IpFtpErrTooLarge = 1005;
