#pragma once
// The message boxes that readers and workers show, without knowing who shows them.

#include <string>

inline constexpr const char* kApplicationTitle = "Pictorva";

class Notifier {
public:
    virtual ~Notifier() = default;
    /// An information box (caption normally "Pictorva").
    virtual void inform(const std::string& text, const std::string& caption = kApplicationTitle) = 0;
    /// A Yes/No question; true for Yes.
    virtual bool ask(const std::string& question) = 0;
    /// A long job's "it is finished" word: a plain box without caption where a person waits for
    /// it, a status text where the front end has its own summary.
    virtual void announceDone(const std::string& text) { inform(text, ""); }
};

/// Swallows messages and answers every question with a fixed reply.
class SilentNotifier final : public Notifier {
public:
    explicit SilentNotifier(bool answer = true) : answer_(answer) {}
    void inform(const std::string&, const std::string&) override {}
    bool ask(const std::string&) override { return answer_; }

private:
    bool answer_;
};
