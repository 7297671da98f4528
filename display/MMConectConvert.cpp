#include "display/MMConectConvert.h"

namespace keb
{
namespace
{
class TNoCodecConverter : public TMMFormatConverter
{
  public:
    TWaveFormatPtr SuggestPCMFormat(const TWaveFormatEx&) override { return nullptr; }
    bool CanConvert(const TWaveFormatEx&, const TWaveFormatEx&) override { return false; }
    std::unique_ptr<TMMConversion> Open(const TWaveFormatEx&, const TWaveFormatEx&,
                                        const std::uint8_t*, std::int32_t) override
    {
        return nullptr;
    }
};

TNoCodecConverter builtIn;
TMMFormatConverter* installed = nullptr;
} // namespace

TMMFormatConverter& FormatConverter()
{
    return installed ? *installed : builtIn;
}

TMMFormatConverter* SetFormatConverter(TMMFormatConverter* converter)
{
    TMMFormatConverter* previous = installed;
    installed = converter;
    return previous;
}

} // namespace keb
