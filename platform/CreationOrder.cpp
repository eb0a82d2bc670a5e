#include "platform/CreationOrder.h"

int CreationOrder::next() {
    static int serial = 0;
    return ++serial;
}
