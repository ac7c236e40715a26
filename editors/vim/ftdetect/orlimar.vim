" Orlimar story files: any .txt under a stories/ folder, and any .txt whose
" first line starts with "# Section". Both rules override the plain-text type
" that *.txt gets first.
autocmd BufNewFile,BufRead */stories/*.txt set filetype=orlimar
autocmd BufRead *.txt if getline(1) =~# '^# Section' | set filetype=orlimar | endif
