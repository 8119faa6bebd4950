#include "com/ComError.h"

namespace com {

namespace {
thread_local std::string errorInfo;
thread_local bool errorInfoSet = false;
} // namespace

void SetErrorInfo(const std::string &text)
{
    errorInfo = text;
    errorInfoSet = !text.empty();
}

std::string TakeErrorInfo()
{
    std::string text = errorInfoSet ? std::move(errorInfo) : std::string();
    errorInfo.clear();
    errorInfoSet = false;
    return text;
}

HRESULT fail(HRESULT hr, const std::string &message)
{
    SetErrorInfo(message);
    return hr;
}

void throwError(HRESULT hr)
{
    std::string text = TakeErrorInfo();
    if (text.empty())
        text = hresultText(hr);
    throw ComError(hr, text);
}

} // namespace com
