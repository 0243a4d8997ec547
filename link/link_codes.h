// The link's modes, steps, protocol bytes, sizes and time limits.
#pragma once

#include <cstdint>

// Who may start work on the link, and which protocol machine gets received bytes.
enum LinkMode : std::int32_t {
    ModeOffline = 0,    // no conversation: no port, or the device was lost
    ModeReady = 1,      // device connected, link idle
    ModeConnect = 2,    // port open, waiting for the device's greeting
    ModeIdentify = 3,   // reading the device's identity records
    ModeRead = 4,       // reading a block of device memory
    ModeWrite = 5,      // writing one firmware block
    ModeKeepAlive = 6,  // idle-time query that keeps the device on line
};

// Protocol bytes, one name per role; a value may have another role in another context.
enum LinkCode : std::uint8_t {
    CodeHello = 0x13,         // device: greeting after power-on
    CodeAck = 0xF7,           // both: acknowledge, go on
    CodeReady = 0xFA,         // handshake complete (device to PC on a COM port, PC to device on the HID link)
    CodeQuery = 0x27,         // PC: start an identity query
    RecordSignature = 0x11,   // device: first byte of the signature record
    RecordVersion = 0x41,     // device: first byte of the version record
    RecordVersionAlt = 0x13,  // device: first byte of the version record (its second code)
    CodeEnd = 0xF1,           // both: end of an identity query
    CodeOpenWrite = 0x62,     // PC: opens a block write
    CmdWrite = 0x81,          // PC: write command, first header byte of every block
    CodeOpenRead = 0x86,      // PC: opens a memory read
    CmdRead = 0x82,           // PC: read command, sent on each acknowledgement
    CodeReadHeader = 0x65,    // device: the 5-byte read header follows
    CodeBlockDone = 0xF1,     // device: block accepted
    CodeBlockError = 0xFA,    // device: block refused
    CodeAbort = 0x7C,         // PC, HID link only: the block failed for the last time
    CodeHidSetup = 0x02,      // PC to the HID link adapter: its set-up byte, in a report with ID 3
};

// Signature and version record bytes the version text depends on.
inline constexpr std::uint8_t SignatureModelPcu = 0x10;  // signature byte 1 of the PCU
inline constexpr std::uint8_t SignatureFamily = 0x34;    // signature byte 2 of every supported device
inline constexpr std::uint8_t VersionA14i = 0x13;        // version byte 1 that stands for firmware A14(i)

// Steps of the connect handshake (ModeConnect).
enum ConnectStep : std::int32_t {
    ConnectHello = 0,    // waiting for the greeting
    ConnectConfirm = 2,  // greeting answered, waiting for CodeReady
};

// Steps of the identity query and the keep-alive (ModeIdentify, ModeKeepAlive).
enum QueryStep : std::int32_t {
    QueryStart = 1,   // start call: send the query
    QueryRecord = 2,  // collecting the data bytes of one record
    QueryListen = 3,  // waiting for the record count, a record code or CodeEnd
};

// Steps of a block write (ModeWrite).
enum WriteStep : std::int32_t {
    WriteStart = 0,   // start call: open the block
    WriteHeader = 1,  // header bytes, one per acknowledgement
    WriteBody = 3,    // body burst and the device's verdict
};

// Steps of a memory read (ModeRead).
enum ReadStep : std::int32_t {
    ReadStart = 1,      // start call: open the read
    ReadData = 2,       // collecting the header and the data
    ReadHandshake = 3,  // waiting for the acknowledgement or the header code
};

// HID report IDs.
inline constexpr std::uint8_t HidReportData = 1;    // PC to adapter: data for the device
inline constexpr std::uint8_t HidReportInput = 2;   // adapter to PC: data from the device
inline constexpr std::uint8_t HidReportSetup = 3;   // PC to adapter: the set-up report

// The HID link adapter.
inline constexpr std::uint16_t HidLinkVendorId = 0x10C4;
inline constexpr std::uint16_t HidLinkProductId = 0x82FC;

// Buffer sizes.
inline constexpr int kTxBufferSize = 640;
inline constexpr int kRxBufferSize = 1024;
inline constexpr int kPortNameChars = 8;     // 7 characters and the terminator
inline constexpr int kHidPathChars = 260;
inline constexpr int kMessageChars = 128;
inline constexpr int kMaxHidInterfaces = 64;
inline constexpr int kMinOutputReportLength = 3;    // report ID, length byte, one payload byte
inline constexpr int kMaxReportPayload = 255;       // what the length byte can state
inline constexpr int kRecordLength = 3;             // code byte and two data bytes
inline constexpr int kReportHeaderLength = 2;       // a HID report's ID and length bytes
inline constexpr int kWriteHeaderLength = 3;        // the write command and block bytes 0 and 1
inline constexpr int kBlockHeaderBytes = 2;         // block bytes sent one at a time, before the body
inline constexpr int kBlockRetries = 3;             // sends of a refused block after the first

// Time limits and pauses, in milliseconds.
inline constexpr std::uint32_t kPassSleepMs = 1;          // every worker pass starts with it
inline constexpr std::uint32_t kSilenceLimitMs = 1000;    // more than this without a machine call: off line
inline constexpr std::uint32_t kKeepAliveIdleMs = 1000;   // more than this without port traffic: keep-alive
inline constexpr std::uint32_t kBurstPauseMs = 1;         // after a write of more than 2 bytes, and after refusals
inline constexpr std::uint32_t kHidOpenAttempts = 15;
inline constexpr std::uint32_t kHidOpenRetryMs = 200;
inline constexpr std::uint32_t kHidReadWaitMs = 10;
inline constexpr std::uint32_t kHidWriteWaitMs = 150;
inline constexpr std::uint32_t kComWriteSlackMs = 100;    // the write limit beyond the bytes' line time
inline constexpr std::uint32_t kComBaudRate = 19200;
inline constexpr std::uint32_t kComBitsPerChar = 10;      // start, 8 data, stop
inline constexpr std::uint32_t kComQueueBytes = 1024;     // driver queues for input and output
inline constexpr std::uint32_t kWorkerStopLimitMs = 1000;
inline constexpr std::uint32_t kWorkerStopPollMs = 20;
inline constexpr std::uint32_t kClaimLimitMs = 500;
inline constexpr std::uint32_t kClaimPollMs = 10;

// Exit codes of the worker thread.
inline constexpr std::uint32_t kWorkerExitNormal = 0;
inline constexpr std::uint32_t kWorkerExitNoLink = 2;
