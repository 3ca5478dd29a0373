#include "common/Error.h"

#include <cerrno>
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

KelvarinError systemError(int errorNumber) {
    switch (errorNumber) {
        case ENOENT: return KelvarinError(ErrorCode::FileNotFound);
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EISDIR: return KelvarinError(ErrorCode::PathFileAccess);
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY: return KelvarinError(ErrorCode::PermissionDenied);
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return KelvarinError(ErrorCode::DiskFull);
        case ENOMEM: return KelvarinError(ErrorCode::OutOfMemory);
        case EINTR: return KelvarinError(ErrorCode::Interrupted);
        default: return KelvarinError(ErrorCode::DeviceIo);
    }
}

}  // namespace kelvarin
