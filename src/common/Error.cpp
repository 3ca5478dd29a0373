// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Error.h"

#include <libintl.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

namespace kelvarin {

std::string_view describe(ErrorCode code) {
    switch (code) {
        case ErrorCode::InvalidCall: return "プロシージャの呼び出し、または引数が不正です。";
        case ErrorCode::Overflow: return "オーバーフローしました。";
        case ErrorCode::OutOfMemory: return "メモリが不足しています。";
        case ErrorCode::SubscriptOutOfRange: return "インデックスが有効範囲にありません。";
        case ErrorCode::DivisionByZero: return "0 で除算しました。";
        case ErrorCode::TypeMismatch: return "型が一致しません。";
        case ErrorCode::Interrupted: return "処理が中断されました。";
        case ErrorCode::BadFileName: return "ファイル名が不正です。";
        case ErrorCode::FileNotFound: return "ファイルが見つかりません。";
        case ErrorCode::DeviceIo: return "デバイス I/O エラーです。";
        case ErrorCode::DiskFull: return "ディスクの空き容量が不足しています。";
        case ErrorCode::PermissionDenied: return "書き込みできません。";
        case ErrorCode::PathFileAccess: return "パス名が無効です。";
        case ErrorCode::PathNotFound: return "パスが見つかりません。";
        case ErrorCode::InvalidFileFormat: return "ファイル形式が不正です。";
        case ErrorCode::InvalidPropertyValue: return "プロパティの値が不正です。";
        case ErrorCode::InvalidPicture: return "ピクチャが不正です。";
    }
    return "予期しないエラーです。";
}

KelvarinError::KelvarinError(ErrorCode code) : m_code(code), m_description(describe(code)) {}

KelvarinError::KelvarinError(ErrorCode code, std::string description)
    : m_code(code), m_description(std::move(description)) {}

KelvarinError asKelvarinError(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const KelvarinError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return KelvarinError(ErrorCode::OutOfMemory);
    } catch (const std::length_error&) {
        return KelvarinError(ErrorCode::OutOfMemory);
    } catch (const std::exception& other) {
        return KelvarinError(ErrorCode::InvalidCall, other.what());
    } catch (...) {
        return KelvarinError(ErrorCode::InvalidCall);
    }
}

namespace {

ErrorCode codeOf(int errorNumber) {
    switch (errorNumber) {
        case ENOENT: return ErrorCode::FileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EISDIR: return ErrorCode::PathFileAccess;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY: return ErrorCode::PermissionDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return ErrorCode::DiskFull;
        case ENOMEM: return ErrorCode::OutOfMemory;
        case EINTR: return ErrorCode::Interrupted;
        default: return ErrorCode::DeviceIo;
    }
}

}  // namespace

KelvarinError systemError(int errorNumber) {
    KelvarinError error(codeOf(errorNumber));
    error.m_systemErrorNumber = errorNumber;
    return error;
}

std::string systemReason(int errorNumber) {
    // The C library's texts come in the user's language; asked for in UTF-8 whatever the locale's
    // character set, as every text of the program is UTF-8.
    static const bool utf8 = bind_textdomain_codeset("libc", "UTF-8") != nullptr;
    static_cast<void>(utf8);
    char buffer[256];
    return strerror_r(errorNumber, buffer, sizeof buffer);
}

std::string reasonOf(const KelvarinError& error) {
    return error.systemErrorNumber() != 0 ? systemReason(error.systemErrorNumber()) : error.description();
}

}  // namespace kelvarin
