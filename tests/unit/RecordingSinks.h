#pragma once
// Test doubles for the worker protocol: they record what a worker reported, in order.

#include <string>
#include <utility>
#include <vector>

#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "disk/Partition.h"

struct RecordingProgress final : ProgressSink {
    void setRange(std::int64_t low, std::int64_t high) override { ranges.emplace_back(low, high); }
    void setPosition(std::int64_t position) override { positions.push_back(position); }
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    std::vector<std::int64_t> positions;
    std::vector<std::string> statuses;
};

struct RecordingNotifier final : Notifier {
    void inform(const std::string& text, const std::string& caption) override { messages.push_back(caption + ": " + text); }
    bool ask(const std::string& question) override {
        messages.push_back("? " + question);
        return true;
    }
    std::vector<std::string> messages;
};

struct RecordingVolumes final : VolumeSink {
    void volumeFound(const VolumeRecord& record, bool fromScan) override {
        records.push_back(record);
        scanRows += fromScan ? 1 : 0;
    }
    void setFilterEntriesEnabled(bool enabled) override { filterStates.push_back(enabled); }
    std::vector<VolumeRecord> records;
    int scanRows = 0;
    std::vector<bool> filterStates;
};
