#include "Units.h"

int main()
{
    StartUnits();
    EndUnits();
    return 0;
}
