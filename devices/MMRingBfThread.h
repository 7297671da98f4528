// The worker of a ring buffer in qmRead and qmWrite: waits for a work request
// or the close request and runs one pass per request. Owned by its ring
// buffer, which ends it (and waits for it) when the queue closes.
//
// Implemented in: MMRingBfWorker.cpp.
#pragma once

#include "stream/MMDSPObj.h"

namespace keb
{

class TMMRingBuffer;

class TMMQueueThread : public TMMDSPThread
{
  public:
    explicit TMMQueueThread(TMMRingBuffer* owner);
    ~TMMQueueThread() override;

  protected:
    void Execute() override;

  private:
    TMMRingBuffer* ring_;
};

} // namespace keb
