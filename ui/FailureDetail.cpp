#include "ui/FailureDetail.h"

#include "link/AddressText.h"
#include "platform/LastError.h"
#include "platform/StringResource.h"
#include "ui/UiStringIds.h"

namespace zorflash {

std::string FailureDetail(const UpdateResult& result, const CLinkFailureWatch::Seen& seen,
                          const UpdateSettings& settings, Language language)
{
    switch (result.outcome) {
    case UpdateOutcome::TargetNotOpened: {
        if (settings.useUsb) {
            if (!seen.usbSearched)
                return std::string();
            return seen.usbAsked == 0 ? LoadStringResource(kIdsNoUsbInstrument, language)
                                      : FormatStringResource(language, kIdsNoUsbAnswer, settings.usbDeviceNumber);
        }
        if (!seen.opened || seen.openError == 0)
            return std::string();
        char address[32] = {};
        FormatAddressText(settings.ipAddress, address, sizeof address);
        const std::string target = std::string(address) + ":" + std::to_string(settings.port);
        return FormatStringResource(language, kIdsTargetError, target.c_str(), DescribeError(seen.openError));
    }
    case UpdateOutcome::CommunicationError:
    case UpdateOutcome::SetupFailure:
    case UpdateOutcome::NoIdentification:
    case UpdateOutcome::HeaderSizeFailure:
    case UpdateOutcome::HeaderTransferError:
        // A wrong reply is named by the status text; a link that broke is not.
        if (!seen.failed)
            return std::string();
        return FormatStringResource(language, kIdsLinkFailed, DescribeError(seen.failureCode));
    default:
        return std::string();
    }
}

}  // namespace zorflash
