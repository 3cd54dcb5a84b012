/*
 * A minimal caller of zelvo.dll in C. It must run inside the trading
 * client's process, on a thread other than the client's user-interface
 * thread: the host that loaded it there calls zelvo_example().
 *
 * Text is GBK; buffers are generous because the library copies whole texts.
 */
#include <stdio.h>
#include <stdlib.h>

#include "zelvo.h"

#define MESSAGE_SIZE 4096
#define RESULT_SIZE (4 * 1024 * 1024)

int zelvo_example(FILE* out)
{
    char message[MESSAGE_SIZE];
    char* result = malloc(RESULT_SIZE);
    int contract;
    int failures = 0;

    if (result == NULL) {
        return 1;
    }
    if (!Zelvo_Login("123456", message)) {
        fprintf(out, "login refused: %s\n", message);
        free(result);
        return 1;
    }
    fprintf(out, "login: %s\n", message);

    Zelvo_QueryData(3, result, message); /* positions */
    fprintf(out, "positions (%s):\n%s\n", message, result);
    failures += result[0] == '\0';

    contract = Zelvo_SendOrder(0, "600000", 10.5, 100, message); /* buy */
    fprintf(out, "buy: contract %d, %s\n", contract, message);
    failures += contract < 0;

    Zelvo_Logout();
    free(result);
    return failures;
}
