// Nummernwerk: copies contacts between two FRITZ!Box phonebook files.
// Command-line arguments are not used; the exit code is 0, or 1 when there is
// no display to show the windows on.
#include "app/app.h"

int main()
{
    return app::Run();
}
