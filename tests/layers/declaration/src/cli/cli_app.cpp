// Part of the declaration test's throwaway tree.
