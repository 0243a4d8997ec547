// The record of one port's read or write in flight (the overlapped record and its event).
#pragma once

namespace platform {

// Created by a port for itself and handed back to that port's read and write calls.
// Each backend keeps in it what an operation needs between its start and its completion.
class IoRecord {
public:
    virtual ~IoRecord() = default;
};

}  // namespace platform
