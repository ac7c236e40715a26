-- Opens each story of ORLIMAR_STORIES (paths separated by newlines) in
-- Neovim, waits for the language server's diagnostics and compares them with
-- what `orlimar-check FILE` prints on the command line (ORLIMAR_CHECKER): the
-- same lines, severities and beginnings of messages. Also checks the syntax
-- groups of the speakers. Quits with status 0 when all hold, 1 otherwise.
local checker = vim.env.ORLIMAR_CHECKER
local timeout_ms = tonumber(vim.env.ORLIMAR_TIMEOUT_MS or '20000')
local failures = 0

local function say(text)
  io.stdout:write(text .. '\n')
end

local function fail(text)
  failures = failures + 1
  say('FAIL: ' .. text)
end

local severity_of = {
  erreur = vim.diagnostic.severity.ERROR,
  avertissement = vim.diagnostic.severity.WARN,
  remarque = vim.diagnostic.severity.INFO,
}

-- The messages are compared on their first characters: the server may word
-- the rest for an editor (no file name, a shorter tail).
local compared_chars = 24

local function beginning(message)
  return vim.fn.strcharpart(message, 0, compared_chars)
end

-- The diagnostics orlimar-check prints for FILE: FILE:LINE: gravité: message.
local function command_line_diagnostics(file)
  local expected = {}
  for _, line in ipairs(vim.fn.systemlist({ checker, file })) do
    local path, lnum, severity, message = line:match('^(.-):(%d+): (%S+): (.*)$')
    if path == file and severity_of[severity] then
      table.insert(expected, { lnum = tonumber(lnum) - 1, severity = severity_of[severity], message = message })
    end
  end
  return expected
end

local function by_line(a, b)
  if a.lnum ~= b.lnum then
    return a.lnum < b.lnum
  end
  return a.message < b.message
end

local function check_story(file)
  local expected = command_line_diagnostics(file)
  if #expected == 0 then
    fail(file .. ': orlimar-check reports nothing, the story must hold a mistake')
    return
  end
  vim.cmd('edit ' .. vim.fn.fnameescape(file))
  local bufnr = vim.api.nvim_get_current_buf()
  if vim.bo[bufnr].filetype ~= 'orlimar' then
    fail(file .. ': filetype is "' .. vim.bo[bufnr].filetype .. '", not orlimar')
    return
  end
  local got = {}
  local arrived = vim.wait(timeout_ms, function()
    got = vim.diagnostic.get(bufnr)
    return #got >= #expected
  end, 100)
  if not arrived then
    local attached = #vim.tbl_keys(vim.lsp.buf_get_clients(bufnr))
    fail(string.format('%s: %d diagnostic(s) after %d ms, %d expected (%d server(s) attached)',
      file, #got, timeout_ms, #expected, attached))
  end
  got = vim.deepcopy(got)
  table.sort(got, by_line)
  table.sort(expected, by_line)
  if #got ~= #expected then
    fail(string.format('%s: %d diagnostic(s) from the server, %d from the command line', file, #got, #expected))
  end
  for i = 1, math.max(#got, #expected) do
    local e, g = expected[i], got[i]
    if not e or not g then
      local extra = e or g
      fail(string.format('%s: line %d: only one side has "%s"', file, extra.lnum + 1, extra.message))
    elseif g.lnum ~= e.lnum or g.severity ~= e.severity or beginning(g.message) ~= beginning(e.message) then
      fail(string.format('%s: expected line %d severity %d "%s…", got line %d severity %d "%s"',
        file, e.lnum + 1, e.severity, beginning(e.message), g.lnum + 1, g.severity, g.message))
    elseif g.source ~= 'orlimar' then
      fail(string.format('%s: line %d: source "%s", not orlimar', file, g.lnum + 1, tostring(g.source)))
    else
      say(string.format('ok  %s:%d: %s…', vim.fn.fnamemodify(file, ':t'), g.lnum + 1, beginning(g.message)))
    end
  end
end

-- The speaker's syntax group on each dialogue line of the current buffer
-- that starts with "- NAME", against the colour the game gives that name.
local function check_speakers(speakers)
  for lnum, line in ipairs(vim.api.nvim_buf_get_lines(0, 0, -1, false)) do
    for name, group in pairs(speakers) do
      if line:sub(1, #name + 2) == '- ' .. name and line:sub(#name + 3, #name + 3) == ':' then
        local got = vim.fn.synIDattr(vim.fn.synID(lnum, 3, 1), 'name')
        if got ~= group then
          fail(string.format('line %d: speaker "%s" is %s, not %s', lnum, name, got, group))
        end
      end
    end
  end
end

local stories = vim.split(vim.env.ORLIMAR_STORIES or '', '\n', { trimempty = true })
for _, file in ipairs(stories) do
  check_story(file)
end
vim.cmd('edit ' .. vim.fn.fnameescape(stories[1]))
check_speakers({ ['Vous'] = 'orlimarSpeakerOther', ['Le passeur '] = 'orlimarSpeakerOther',
  ['Élise '] = 'orlimarSpeakerPlayer', ['Vous '] = 'orlimarSpeakerPlayer' })

if failures > 0 then
  say(failures .. ' failure(s)')
  vim.cmd('cquit 1')
end
say('all Neovim checks passed')
vim.cmd('qall!')
