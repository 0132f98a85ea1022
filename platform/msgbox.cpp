#include "platform/msgbox.hpp"

#include <cstdio>

#include "platform/codepage.hpp"

namespace platform {

namespace {

HeadlessMessageBox g_headless;
MessageBoxService* g_service = &g_headless;

}  // namespace

int DefaultButton(unsigned flags) {
    int first = kIdOk, second = kIdOk, third = kIdOk;
    switch (flags & 0xF) {
    case kMbOkCancel: first = kIdOk, second = third = kIdCancel; break;
    case kMbYesNoCancel: first = kIdYes, second = kIdNo, third = kIdCancel; break;
    case kMbYesNo: first = kIdYes, second = third = kIdNo; break;
    default: break;
    }
    if (flags & kMbDefButton3) return third;
    if (flags & kMbDefButton2) return second;
    return first;
}

int HeadlessMessageBox::Show(std::string_view text, std::string_view caption, unsigned flags) {
    std::fprintf(stderr, "[%s] %s\n", AnsiToUtf8(caption).c_str(), AnsiToUtf8(text).c_str());
    return DefaultButton(flags);
}

int ScriptedMessageBox::Show(std::string_view text, std::string_view caption, unsigned flags) {
    shown.push_back({std::string(text), std::string(caption), flags});
    if (answers.empty()) return DefaultButton(flags);
    int answer = answers.front();
    answers.pop_front();
    return answer;
}

MessageBoxService* InstallMessageBox(MessageBoxService* service) {
    MessageBoxService* previous = g_service;
    g_service = service ? service : &g_headless;
    return previous;
}

MessageBoxService* CurrentMessageBox() { return g_service; }

int ShowMessageBox(std::string_view text, std::string_view caption, unsigned flags) {
    return g_service->Show(text, caption, flags);
}

}  // namespace platform
