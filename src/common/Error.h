// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace kelvarin {

// Numbers of the failures the program raises. The numbers appear in error reports, so they are fixed.
enum class ErrorCode : std::int32_t {
    InvalidCall = 5,
    Overflow = 6,
    OutOfMemory = 7,
    SubscriptOutOfRange = 9,
    DivisionByZero = 11,
    TypeMismatch = 13,
    Interrupted = 18,
    BadFileName = 52,
    FileNotFound = 53,
    DeviceIo = 57,
    DiskFull = 61,
    PermissionDenied = 70,
    PathFileAccess = 75,
    PathNotFound = 76,
    InvalidFileFormat = 321,
    InvalidPropertyValue = 380,
    InvalidPicture = 481,
};

// The standard description of a failure number, in Japanese.
std::string_view describe(ErrorCode code);

// The program's error: a number and a description, shown to the user by the command that catches it.
class KelvarinError : public std::exception {
public:
    explicit KelvarinError(ErrorCode code);
    KelvarinError(ErrorCode code, std::string description);

    ErrorCode code() const noexcept { return m_code; }
    // The errno of the failed system call behind the error, or 0.
    int systemErrorNumber() const noexcept { return m_systemErrorNumber; }
    std::int32_t number() const noexcept { return static_cast<std::int32_t>(m_code); }
    const std::string& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_description.c_str(); }
    // The file or folder the failure lies in when it is not the one the caller works on (a temporary
    // folder), or empty.
    const std::string& place() const noexcept { return m_place; }
    KelvarinError& in(std::string place) {
        m_place = std::move(place);
        return *this;
    }

private:
    friend KelvarinError systemError(int errorNumber);

    ErrorCode m_code;
    std::string m_description;
    int m_systemErrorNumber = 0;
    std::string m_place;
};

// Turns whatever a command caught into the program's error, so every failure has a number and a text.
KelvarinError asKelvarinError(std::exception_ptr failure);

// The error for a failed system call, chosen from errno.
KelvarinError systemError(int errorNumber);

// The system's own text for an errno, in the language of the user's locale (UTF-8).
std::string systemReason(int errorNumber);

// Why a failure happened, for the details of a message: the system's text where a system call failed,
// else the error's description.
std::string reasonOf(const KelvarinError& error);

}  // namespace kelvarin
