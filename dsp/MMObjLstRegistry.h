// The container class registry and the tagged-object format.
//
// Objects that live in object containers derive from TContainerObject and
// name their class through ContainerClassName(). A class becomes readable
// from containers by registering a factory (which makes a default object)
// and the two procedures that read and write the object's own data:
//
//     RegisterContainerClass("TMMEQFilter", factory, load, store);
//
// Names are matched without regard to letter case and only their first 63
// characters count; a second registration under a name that exists is
// ignored, the first one stays. Registration normally happens during static
// initialisation of the unit that defines the class; the registry is safe to
// use from any thread (it has its own lock).
//
// A tagged object in a stream is one length byte n (1 .. 63), n bytes of
// class name, then the object's data as its store procedure writes it.
//
// Errors: EClassNotFound "Class <%s> not registered" when reading an unknown
// name, "Nil Source Class!" when writing a missing object, "Source Class <%s>
// not registered" when writing an object of an unregistered class; EReadError
// "Invalid Object stream" for a stored name of more than 63 characters; the
// stream's read error when the stream ends early.
#pragma once

#include "dsp/MMObjLstStream.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace keb
{

// Root class of the objects an object list holds and containers carry.
class TContainerObject
{
  public:
    virtual ~TContainerObject() = default;
    virtual std::string ContainerClassName() const = 0;
};

using TContainerFactory = std::function<std::unique_ptr<TContainerObject>()>;
using TContainerLoadProc = std::function<void(TContainerObject& object, TStream& stream)>;
using TContainerStoreProc = std::function<void(const TContainerObject& object, TStream& stream)>;

struct TRegisterRec
{
    std::string ClassName;
    TContainerFactory Create;
    TContainerLoadProc LoadProc;
    TContainerStoreProc StoreProc;
};

// The longest class name a tagged object can carry.
inline constexpr std::size_t MaxContainerClassName = 63;

void RegisterContainerClass(std::string_view className, TContainerFactory create,
                            TContainerLoadProc load, TContainerStoreProc store);

// Registers T with its default constructor, T::ReadFromStream and T::WriteToStream.
template <class T> void RegisterContainerClass(std::string_view className)
{
    RegisterContainerClass(
        className, [] { return std::make_unique<T>(); },
        [](TContainerObject& object, TStream& stream)
        { static_cast<T&>(object).ReadFromStream(stream); },
        [](const TContainerObject& object, TStream& stream)
        { static_cast<const T&>(object).WriteToStream(stream); });
}

// The entry registered under name, or nullptr. The entry lives as long as the program.
const TRegisterRec* FindContainerClass(std::string_view name);

std::unique_ptr<TContainerObject> ReadContainerObject(TStream& stream);
void WriteContainerObject(const TContainerObject* object, TStream& stream);

} // namespace keb
