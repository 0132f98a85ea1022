#pragma once
// Modal message boxes. Headless runs write to stderr and take the default
// button; tests script the answers.
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Flags and results, with the original platform's values.
enum MessageBoxFlags : unsigned {
    kMbOk = 0x0,
    kMbOkCancel = 0x1,
    kMbYesNoCancel = 0x3,
    kMbYesNo = 0x4,
    kMbIconStop = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
    kMbDefButton2 = 0x100,
    kMbDefButton3 = 0x200,
};
enum MessageBoxResult : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// The button a box with `flags` selects by default.
int DefaultButton(unsigned flags);

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual int Show(std::string_view text, std::string_view caption, unsigned flags) = 0;
};

class HeadlessMessageBox final : public MessageBoxService {
public:
    int Show(std::string_view text, std::string_view caption, unsigned flags) override;
};

class ScriptedMessageBox final : public MessageBoxService {
public:
    struct Shown {
        std::string text, caption;
        unsigned flags;
    };
    // Answers are taken in order; when none is queued the default button is.
    std::deque<int> answers;
    std::vector<Shown> shown;
    int Show(std::string_view text, std::string_view caption, unsigned flags) override;
};

// The service in use (headless until one is installed). Installing returns the
// previous one; the caller keeps ownership of both.
MessageBoxService* InstallMessageBox(MessageBoxService* service);
MessageBoxService* CurrentMessageBox();
int ShowMessageBox(std::string_view text, std::string_view caption, unsigned flags);

}  // namespace platform
