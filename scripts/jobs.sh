# The number of parallel build and test jobs of every script, sourced by them:
# PNG2ZEQ_JOBS, or one per processor.
jobs=${PNG2ZEQ_JOBS:-$(nproc 2>/dev/null || echo 2)}
