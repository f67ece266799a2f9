/* Runs a command RUNS times, one after the other, and prints the median and
   the quartiles of its CPU time (user + system, from wait4's resource usage)
   in microseconds. The command's standard output is discarded.

     cpu_time RUNS command [argument...] */
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

static int by_value(const void *a, const void *b) {
  const long x = *(const long *)a, y = *(const long *)b;
  return (x > y) - (x < y);
}

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  const int runs = atoi(argv[1]);
  if (runs <= 0) return 2;
  long *micros = malloc(sizeof(long) * (size_t)runs);
  for (int i = 0; i < runs; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      execv(argv[2], argv + 2);
      _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (child < 0 || wait4(child, &status, 0, &usage) < 0 || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      fprintf(stderr, "run %d of %s failed\n", i, argv[2]);
      return 1;
    }
    micros[i] = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000L +
                usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
  }
  qsort(micros, (size_t)runs, sizeof(long), by_value);
  printf("%ld %ld %ld\n", micros[runs / 2], micros[runs / 4], micros[runs * 3 / 4]);
  free(micros);
  return 0;
}
