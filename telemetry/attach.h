// The parties of the shared-record protocol, each owning its mappings:
// the GPS publisher, the readers of GPS and OBD-II data, the OBD-II provider,
// and the holders of a per-instance overlay text block.
#pragma once

#include <string>

#include "telemetry/protocol.h"
#include "telemetry/records.h"
#include "telemetry/shared_block.h"

namespace telemetry {

// Publishes "DIrivUDU".
class GpsPublisher {
  public:
    enum class Role {
        kRecorder,     // never publishes over an existing block
        kOutsideFeed,  // may take over a block whose publisher has detached
    };
    enum class Result { kPublishing, kOtherPublisher, kFailed };

    GpsPublisher() = default;
    GpsPublisher(const GpsPublisher&) = delete;
    GpsPublisher& operator=(const GpsPublisher&) = delete;
    ~GpsPublisher() { Detach(); }

    Result Attach(Role role);
    // Speed to 0, PublisherActive to 0, one user fewer, unmap and close.
    void Detach();
    bool publishing() const { return block_.valid(); }
    GpsSharedRecord* record() const { return block_.as<GpsSharedRecord>(); }

  private:
    SharedBlock block_;
};

// A reader of "DIrivUDU" and "XOBD2": the filter and the property page.
class TelemetryReader {
  public:
    TelemetryReader() = default;
    TelemetryReader(const TelemetryReader&) = delete;
    TelemetryReader& operator=(const TelemetryReader&) = delete;
    ~TelemetryReader() { Detach(); }

    // Attaches to each block not yet held; absent ones stay absent for now.
    void Poll();
    void Detach();
    bool hasGps() const { return gps_.valid(); }
    bool hasObd() const { return obd_.valid(); }
    View gps() const { return gps_.bytes(); }
    View obd() const { return obd_.bytes(); }

  private:
    SharedBlock gps_;
    SharedBlock obd_;
};

// The outside OBD-II provider: creates and owns "XOBD2".
class ObdProvider {
  public:
    ObdProvider() = default;
    ObdProvider(const ObdProvider&) = delete;
    ObdProvider& operator=(const ObdProvider&) = delete;
    ~ObdProvider() { Close(); }

    // Creates the block (zeroed), or joins one that readers kept open.
    bool Create(size_t size = kObdMinSize);
    // Link state "N/C" and unmap; readers keep their own mappings.
    void Close();
    bool joinedExisting() const { return block_.existed(); }
    ObdSharedRecord* record() const { return block_.as<ObdSharedRecord>(); }
    View bytes() const { return block_.bytes(); }

  private:
    SharedBlock block_;
};

// The recorder's per-instance block, held from start-up to exit.
class OsdBlockOwner {
  public:
    // Takes the first of GPSOSDText0..31 that is new or has no users.
    bool Claim(int instanceNumber);
    void RaiseClaimFlag() { SetClaimFlag(block_.bytes(), true); }
    void DropClaimFlag() { SetClaimFlag(block_.bytes(), false); }
    bool held() const { return block_.valid(); }
    int index() const { return index_; }
    OverlaySettings* record() const { return block_.as<OverlaySettings>(); }

  private:
    SharedBlock block_;
    int index_ = -1;
};

// The filter's side: takes the block whose ClaimFlag is raised, if any.
class OsdBlockClaim {
  public:
    OsdBlockClaim() = default;
    OsdBlockClaim(const OsdBlockClaim&) = delete;
    OsdBlockClaim& operator=(const OsdBlockClaim&) = delete;
    ~OsdBlockClaim() { Release(); }

    bool TakeOffered();
    void Release();
    bool held() const { return block_.valid(); }
    int index() const { return index_; }
    OverlaySettings* record() const { return block_.as<OverlaySettings>(); }

  private:
    SharedBlock block_;
    int index_ = -1;
};

// For writers of text lines: the block numbered `index`, or the held block
// whose InstanceNumber is `instanceNumber` (low 8 bits) when index is -1.
SharedBlock OpenOsdBlock(int index, int instanceNumber, int* foundIndex = nullptr);

}  // namespace telemetry
