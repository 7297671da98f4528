// Tests of files the system refuses (a read-only memory, a folder that
// cannot be made) need permission bits that are obeyed. Root ignores them:
// its capabilities to override file permissions (CAP_DAC_OVERRIDE,
// CAP_DAC_READ_SEARCH) let it write a read-only file. While a
// TPermissionBitsBind lives, the calling thread has those two capabilities
// dropped from its effective set, so it is refused like an ordinary user;
// the destructor raises them again. Capabilities belong to one thread: the
// file operations under test must run on the thread that made the guard.
#pragma once

namespace keb::test
{

class TPermissionBitsBind
{
  public:
    TPermissionBitsBind();
    ~TPermissionBitsBind();
    TPermissionBitsBind(const TPermissionBitsBind&) = delete;
    TPermissionBitsBind& operator=(const TPermissionBitsBind&) = delete;

    // Whether this thread is now refused a file in a read-only folder
    // (tried on a folder of its own). When not, a test must make its path
    // unusable another way, or skip.
    static bool Hold();

  private:
    unsigned savedEffective_ = 0;
    bool dropped_ = false;
};

} // namespace keb::test
