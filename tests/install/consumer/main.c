/* Imports the file named on the command line through the installed module and prints what came back. */
#include <quorix_marker/ImportQuorixFile.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    char name[21];
    memset(name, 0, sizeof name);
    const int result = ImportQuorixFile(argc > 1 ? argv[1] : "", name);
    printf("result %d name %s\n", result, name);
    return 0;
}
