// Nummernwerk: copies contacts between two FRITZ!Box phonebook files.
// Command-line arguments are not used; the exit code is always 0.
#include "app/app.h"

int main()
{
    return app::Run();
}
