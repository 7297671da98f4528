// The state flags of a component: loading its stored settings, reading them
// from a stream, being designed, being destroyed. Components fire no events
// and skip work that needs their final settings while loading or reading.
#pragma once

namespace keb
{

enum class TComponentStateFlag : unsigned
{
    csLoading = 1,
    csReading = 2,
    csDesigning = 4,
    csDestroying = 8
};

class TComponentState
{
  public:
    bool Contains(TComponentStateFlag flag) const { return (bits_ & unsigned(flag)) != 0; }
    void Include(TComponentStateFlag flag) { bits_ |= unsigned(flag); }
    void Exclude(TComponentStateFlag flag) { bits_ &= ~unsigned(flag); }
    // Loading or reading: the settings are not complete yet.
    bool IsLoading() const
    {
        return Contains(TComponentStateFlag::csLoading) || Contains(TComponentStateFlag::csReading);
    }

  private:
    unsigned bits_ = 0;
};

} // namespace keb
