#include "app/running_client.h"

#include "app/log.h"

namespace {

using platform::SingleInstance;

// Each try that fails saw a client end between two steps; five in a row do not happen by chance.
constexpr int kPlaceTries = 5;

RunningClientAnswer SendTo(const std::wstring& name, const char* command) {
    switch (SingleInstance::SendToPrimary(name, command, kRunningClientAnswerMs)) {
        case SingleInstance::SendResult::Handled:
            return RunningClientAnswer::Handled;
        case SingleInstance::SendResult::NoPrimary:
            return RunningClientAnswer::NoClient;
        case SingleInstance::SendResult::NoAnswer:
            break;
    }
    return RunningClientAnswer::NoAnswer;
}

}  // namespace

RunningClientAnswer SendToRunningClient(const char* command) {
    return SendTo(kMainWndClassName, command);
}

bool WaitForRunningClientToEnd() {
    return SingleInstance::WaitForNoPrimary(kMainWndClassName, kRunningClientAnswerMs);
}

RunningClientPlace TakeRunningClientPlace(SingleInstance& place,
                                          const SingleInstance::CommandHandler& handler) {
    for (int attempt = 0; attempt < kPlaceTries; ++attempt) {
        if (place.TryBecomePrimary(handler)) {
            return RunningClientPlace::Taken;
        }
        if (place.NoPrivateFolder()) {
            WriteLog(fatal,
                     L"no private folder for the running client's lock: the client does "
                     L"not start");
            return RunningClientPlace::Refused;
        }
        // A client that does not answer in time still holds its place: it is busy or hung.
        switch (SendTo(place.Name(), kRestoreCommand)) {
            case RunningClientAnswer::Handled:
                return RunningClientPlace::HandedOver;
            case RunningClientAnswer::NoAnswer:
                WriteLog(info, L"the running client did not answer in %u ms: this start ends",
                         static_cast<unsigned>(kRunningClientAnswerMs));
                return RunningClientPlace::NotAnswering;
            case RunningClientAnswer::NoClient:
                break;
        }
    }
    WriteLog(fatal, L"the running client's place could not be taken in %d tries", kPlaceTries);
    return RunningClientPlace::Refused;
}
