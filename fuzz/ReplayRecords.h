// Replays parsed records through a fresh filter, with the host's checks after
// every end of picture.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FuzzHost.h"
#include "RecordScript.h"
#include "filter/AAIExportFilter.h"
#include "host/Opcodes.h"
#include "host/Payloads.h"

inline void ReplayRecords(FuzzHost& host, std::vector<recordscript::Record>& records)
{
    host.StartInput();
    auto filter = std::make_unique<AAIExportFilter>();
    AHostExportFilter* h = filter.get();
    std::string target = host.target;
    h->exportFile(target.data());
    for (recordscript::Record& record : records) {
        void* payload = record.Bind();
        if (record.opcode == aiop::kPathBitmap && payload != nullptr &&
            record.payload.size() >= sizeof(PathBitmapData))
            host.ConfinePath(static_cast<unsigned char*>(payload));
        const int result = h->writeData(record.opcode, payload);
        if (record.opcode == aiop::kEndPicture)
            host.CheckAfterEnd(result);
        if (record.opcode == aiop::kEndPicture)
            h->exportFile(target.data());  // scripts may hold several pictures
    }
    host.CheckAfterEnd(h->writeData(aiop::kEndPicture, nullptr));
    filter.reset();
    host.CheckNothingLeft();
}
