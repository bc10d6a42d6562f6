#include "app/running_client.h"

#include "platform/single_instance.h"

RunningClientAnswer SendToRunningClient(const char* command) {
    using platform::SingleInstance;
    switch (SingleInstance::SendToPrimary(kMainWndClassName, command, kRunningClientAnswerMs)) {
        case SingleInstance::SendResult::Handled:
            return RunningClientAnswer::Handled;
        case SingleInstance::SendResult::NoPrimary:
            return RunningClientAnswer::NoClient;
        case SingleInstance::SendResult::NoAnswer:
            break;
    }
    return RunningClientAnswer::NoAnswer;
}
