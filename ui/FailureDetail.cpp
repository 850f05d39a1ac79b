#include "ui/FailureDetail.h"

#include "platform/LastError.h"
#include "platform/StringResource.h"
#include "present/FailureReason.h"
#include "ui/UiStringIds.h"

namespace zorflash {

std::string FailureDetail(const UpdateResult& result, const CLinkWatch& watch,
                          const UpdateSettings& settings, Language language)
{
    switch (result.outcome) {
    case UpdateOutcome::TargetNotOpened: {
        // A USB open tells its search just before it ends.
        if (settings.useUsb) {
            if (!watch.OpenSeen())
                return std::string();
            if (watch.UsbSearch().empty())
                return LoadStringResource(kIdsNoUsbInstrument, language);
            return FormatStringResource(language, kIdsNoUsbAnswer, settings.usbDeviceNumber);
        }
        if (!watch.OpenSeen() || watch.OpenError() == 0)
            return std::string();
        return FormatStringResource(language, kIdsTargetError, TargetText(settings).c_str(),
                                    DescribeError(watch.OpenError()));
    }
    case UpdateOutcome::CommunicationError:
    case UpdateOutcome::SetupFailure:
    case UpdateOutcome::NoIdentification:
    case UpdateOutcome::HeaderSizeFailure:
    case UpdateOutcome::HeaderTransferError:
        // A wrong reply is named by the status text; a link that broke is not.
        if (!watch.FailureSeen())
            return std::string();
        return FormatStringResource(language, kIdsLinkFailed, DescribeError(watch.FailureCode()));
    default:
        return std::string();
    }
}

}  // namespace zorflash
