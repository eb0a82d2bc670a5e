#include "platform/MessageBoxes.h"
#include "platform/QtMessageService.h"

namespace {
std::unique_ptr<MessageService> &current() {
    static std::unique_ptr<MessageService> service = std::make_unique<QtMessageService>();
    return service;
}
} // namespace

MessageService &Messages::service() { return *current(); }

std::unique_ptr<MessageService> Messages::install(std::unique_ptr<MessageService> service) {
    if (!service)
        service = std::make_unique<QtMessageService>();
    std::swap(service, current());
    return service;
}
