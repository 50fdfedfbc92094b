/* A simulator written in C includes the record headers as they are. */
#include <stdio.h>

#include "customer_parameters.h"
#include "customer_results.h"

int main(void) {
  Customer_Parameters In = {0, 25, 270, 0, 0, 0, 0, 40};
  Customer_Results Out = {0};
  Out.Customer_Number = 1;
  Out.Travel_Time_To_EXIT = In.Travel_Time_To_EXIT;
  printf("%zu %zu %d\n", sizeof In, sizeof Out, Out.Travel_Time_To_EXIT);
  return 0;
}
