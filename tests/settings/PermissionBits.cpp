#include "PermissionBits.h"

#include <cstdlib>
#include <fcntl.h>
#include <linux/capability.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace keb::test
{
namespace
{

constexpr unsigned OverrideCapabilities = (1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH);

// The calling thread's capabilities (the first 32 are enough here).
bool GetCapabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

bool SetCapabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}

} // namespace

TPermissionBitsBind::TPermissionBitsBind()
{
    __user_cap_data_struct data[2]{};
    if (!GetCapabilities(data) || (data[0].effective & OverrideCapabilities) == 0)
        return;
    savedEffective_ = data[0].effective;
    data[0].effective &= ~OverrideCapabilities;
    dropped_ = SetCapabilities(data);
}

TPermissionBitsBind::~TPermissionBitsBind()
{
    __user_cap_data_struct data[2]{};
    if (dropped_ && GetCapabilities(data))
    {
        data[0].effective = savedEffective_;
        SetCapabilities(data);
    }
}

bool TPermissionBitsBind::Hold()
{
    char pattern[] = "/tmp/keb-permission-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        return false;
    const std::string folder = pattern;
    const std::string probe = folder + "/probe";
    ::chmod(folder.c_str(), 0555);
    const int descriptor = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const bool refused = descriptor < 0;
    if (!refused)
    {
        ::close(descriptor);
        ::unlink(probe.c_str());
    }
    ::chmod(folder.c_str(), 0755);
    ::rmdir(folder.c_str());
    return refused;
}

} // namespace keb::test
