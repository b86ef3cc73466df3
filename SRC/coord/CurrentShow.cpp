#include "coord/CurrentShow.h"

namespace coordination
{

CurrentShow& TheShow()
{
    static CurrentShow show;
    return show;
}

} // namespace coordination
