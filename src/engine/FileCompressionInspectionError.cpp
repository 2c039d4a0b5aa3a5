#include "engine/FileCompressionInspectionError.h"

namespace kelvane::engine {
namespace {

struct Describe {
    std::string operator()(const FileCompressionInspectionError::fileNotFound& c) const
    {
        return "ファイルが見つかりません: " + c.url.string();
    }
    std::string operator()(const FileCompressionInspectionError::decmpfsHeaderInvalid& c) const
    {
        return "decmpfs ヘッダが不正: " + c.reason;
    }
    std::string operator()(const FileCompressionInspectionError::ioError& c) const
    {
        return "I/O エラー: " + c.message + "\nパス: " + c.url.string();
    }
    std::string operator()(const FileCompressionInspectionError::decmpfsHeaderMissingDespiteFlag&) const
    {
        return "圧縮フラグが立っていますが decmpfs ヘッダが見つかりません。";
    }
};

}  // namespace

FileCompressionInspectionError::FileCompressionInspectionError(Case value)
    : TypedError(std::visit(Describe{}, value)), value_(std::move(value))
{
}

}  // namespace kelvane::engine
